// Force-included into every bindings source (see src/CMakeLists.txt).
//
// pybind11 reads the thread state through `_PyThreadState_UncheckedGet`, a 3.12 symbol that
// 3.13 no longer exports. As a strong reference it would make the loader of any other
// interpreter refuse the module with "undefined symbol" before the module's own interpreter
// version check could give its clear ImportError. Every object file that references the symbol
// must see it as weak, or the linker keeps the reference strong.
#pragma once
#pragma weak _PyThreadState_UncheckedGet
