#include "js_results.hpp"

#include <exception>
#include <string>

#include "orv/attempt.hpp"
#include "orv/puzzle.hpp"

namespace orv::wasm {

using emscripten::val;

namespace {

val error_with_message(const std::string& message) {
    return val::global("Error").new_(message);
}

} // namespace

val current_exception_as_error() {
    try {
        throw;
    } catch (const LevelProblems& problems) {
        val error = error_with_message(problems.what());
        val list = val::array();
        // Set by index: val::call keeps a thread_local, which a build with bulk memory
        // operations but without threads cannot link.
        for (std::size_t index = 0; index < problems.problems().size(); ++index) {
            val item = val::object();
            item.set("place", problems.problems()[index].place);
            item.set("problem", problems.problems()[index].problem);
            list.set(index, item);
        }
        error.set("problems", list);
        return error;
    } catch (const PlacementError& refused) {
        val error = error_with_message(refused.what());
        error.set("name", std::string("PlacementError"));
        return error;
    } catch (const std::bad_alloc&) {
        return error_with_message("out of memory");
    } catch (const std::exception& exception) {
        return error_with_message(exception.what());
    } catch (...) {
        return error_with_message("the engine failed with an exception of an unknown kind");
    }
}

} // namespace orv::wasm
