// Counting and ranking the distinct placements of a hand (the canonical order of solver.hpp).
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "orv/interrupt.hpp"
#include "placement_parts.hpp"

namespace orv::solver {

namespace {

constexpr std::uint64_t kOverflow = std::numeric_limits<std::uint64_t>::max();

std::uint64_t checked_product(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    if (a == kOverflow || b == kOverflow || __builtin_mul_overflow(a, b, &product) ||
        product == kOverflow) {
        throw std::overflow_error("the number of placements exceeds 64 bits");
    }
    return product;
}

std::uint64_t checked_sum(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum) || sum == kOverflow) {
        throw std::overflow_error("the number of placements exceeds 64 bits");
    }
    return sum;
}

/// C(n, k), computed as C(n - k + 1, 1), C(n - k + 2, 2), ... C(n, k): each step's product
/// is exact, and fits 128 bits while the previous result fits 64.
std::uint64_t binomial(std::size_t n, std::size_t k) {
    __extension__ using Wide = unsigned __int128;
    Wide result = 1;
    for (std::size_t step = 1; step <= k; ++step) {
        result = result * (n - k + step) / step;
        if (result >= kOverflow) {
            throw std::overflow_error("the number of placements exceeds 64 bits");
        }
    }
    return static_cast<std::uint64_t>(result);
}

/// Separators between the slots' parts of a class's arrangement.
std::size_t separators(std::size_t slot_count) { return slot_count > 0 ? slot_count - 1 : 0; }

} // namespace

PlacementSpace::PlacementSpace(std::vector<HandKind> kinds, std::size_t slot_count, bool use_all)
    : kinds_(std::move(kinds)), slot_count_(slot_count), use_all_(use_all) {
    for (const HandKind& kind : kinds_) {
        hand_size_ += kind.hand_indices.size();
    }
    if (kinds_.size() > std::numeric_limits<std::uint8_t>::max()) {
        throw std::invalid_argument("a hand may hold at most 255 kinds of agent");
    }
    std::vector<std::size_t> order(kinds_.size());
    for (std::size_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return kinds_[a].priority > kinds_[b].priority;
    });
    for (const std::size_t kind : order) {
        if (classes_.empty() || kinds_[classes_.back().front()].priority != kinds_[kind].priority) {
            classes_.emplace_back();
        }
        classes_.back().push_back(kind);
    }
}

PlacementSpace::~PlacementSpace() = default;

std::vector<std::size_t> PlacementSpace::class_symbols(std::size_t class_index,
                                                       const std::vector<std::size_t>& counts) const {
    std::vector<std::size_t> symbols{separators(slot_count_)};
    for (const std::size_t kind : classes_[class_index]) {
        symbols.push_back(counts[kind]);
    }
    return symbols;
}

std::uint64_t PlacementSpace::multinomial(const std::vector<std::size_t>& symbols) const {
    // (r0 + r1 + ...)! / (r0! r1! ...) as the product of C(r0 + ... + ri, ri).
    std::uint64_t product = 1;
    std::size_t total = symbols.front();
    for (std::size_t index = 1; index < symbols.size(); ++index) {
        total += symbols[index];
        product = checked_product(product, binomial(total, symbols[index]));
    }
    return product;
}

std::uint64_t PlacementSpace::count(std::size_t size) { return table(size).total; }

const PlacementSpace::SizeTable& PlacementSpace::table(std::size_t size) {
    // No placement is larger than the hand; such sizes are not kept (they may be huge).
    static const SizeTable kNoPlacements;
    if (size > hand_size_) {
        return kNoPlacements;
    }
    if (size < tables_.size() && tables_[size]) {
        return *tables_[size];
    }
    auto made = std::make_unique<SizeTable>();
    const bool possible = (!use_all_ || size == hand_size_) && (slot_count_ > 0 || size == 0);
    std::vector<std::size_t> counts(kinds_.size(), 0);
    // Count vectors in lexicographic order: an odometer whose first kind turns slowest.
    while (possible) {
        check_interrupt();
        std::size_t used = 0;
        for (const std::size_t count : counts) {
            used += count;
        }
        if (used == size) {
            std::uint64_t placements = 1;
            for (std::size_t index = 0; index < classes_.size(); ++index) {
                placements = checked_product(placements, multinomial(class_symbols(index, counts)));
            }
            made->vectors.push_back({counts, placements, made->total});
            made->total = checked_sum(made->total, placements);
        }
        std::size_t digit = counts.size();
        while (digit > 0 && counts[digit - 1] == kinds_[digit - 1].hand_indices.size()) {
            counts[--digit] = 0;
        }
        if (digit == 0) {
            break;
        }
        ++counts[digit - 1];
    }
    if (tables_.size() <= size) {
        tables_.resize(size + 1);
    }
    tables_[size] = std::move(made);
    return *tables_[size];
}

} // namespace orv::solver

namespace orv::solver {

PlacementSpace::Cursor::Cursor(PlacementSpace& space, const SizeTable& table, std::uint64_t rank)
    : space_(space), table_(table), classes_(space.classes_.size()),
      used_(space.kinds_.size(), 0) {
    const auto& vectors = table_.vectors;
    // The last count vector that starts at or before the rank.
    const auto after = std::upper_bound(
        vectors.begin(), vectors.end(), rank,
        [](std::uint64_t wanted, const CountVector& vector) { return wanted < vector.first_rank; });
    vector_index_ = static_cast<std::size_t>(after - vectors.begin()) - 1;
    unrank_within(rank - vectors[vector_index_].first_rank);
}

void PlacementSpace::Cursor::unrank_within(std::uint64_t rank) {
    // Mixed radix: the last class is the least significant digit.
    const auto& counts = table_.vectors[vector_index_].counts;
    for (std::size_t index = classes_.size(); index-- > 0;) {
        const std::vector<std::size_t> symbols = space_.class_symbols(index, counts);
        const std::uint64_t radix = space_.multinomial(symbols);
        unrank_arrangement(symbols, rank % radix, classes_[index]);
        rank /= radix;
    }
}

void PlacementSpace::Cursor::unrank_arrangement(std::vector<std::size_t> left, std::uint64_t rank,
                                                std::vector<std::uint8_t>& symbols) const {
    std::size_t length = 0;
    for (const std::size_t count : left) {
        length += count;
    }
    symbols.clear();
    for (; length > 0; --length) {
        // The smallest symbol whose sequences starting with it reach past the rank.
        for (std::size_t symbol = 0; symbol < left.size(); ++symbol) {
            if (left[symbol] == 0) {
                continue;
            }
            --left[symbol];
            const std::uint64_t starting_here = space_.multinomial(left);
            if (rank < starting_here) {
                symbols.push_back(static_cast<std::uint8_t>(symbol));
                break;
            }
            rank -= starting_here;
            ++left[symbol];
        }
    }
}

bool PlacementSpace::Cursor::advance() {
    // The least significant class first; one that wraps around returns to its first
    // arrangement (sorted), and the next more significant one moves on.
    for (std::size_t index = classes_.size(); index-- > 0;) {
        if (std::next_permutation(classes_[index].begin(), classes_[index].end())) {
            return true;
        }
    }
    if (++vector_index_ >= table_.vectors.size()) {
        vector_index_ = table_.vectors.size() - 1;
        return false;
    }
    unrank_within(0);
    return true;
}

void PlacementSpace::Cursor::fill(Placement& out) {
    out.resize(space_.slot_count_);
    for (auto& received : out) {
        received.clear();
    }
    std::fill(used_.begin(), used_.end(), 0);
    // Classes in priority order, so each slot's kinds come out stably sorted by priority.
    for (std::size_t index = 0; index < classes_.size(); ++index) {
        const std::vector<std::size_t>& kinds = space_.classes_[index];
        std::size_t slot = 0;
        for (const std::uint8_t symbol : classes_[index]) {
            if (symbol == 0) { // the separator
                ++slot;
                continue;
            }
            out[slot].push_back(kinds[symbol - 1u]);
        }
    }
    // Kinds become hand agents: of each kind, the first unused in hand order.
    for (auto& received : out) {
        for (std::size_t& entry : received) {
            const std::size_t kind = entry;
            entry = space_.kinds_[kind].hand_indices[used_[kind]++];
        }
    }
}

std::unique_ptr<PlacementSpace::Cursor> PlacementSpace::cursor(std::size_t size,
                                                               std::uint64_t rank) {
    const SizeTable& sizes = table(size);
    if (rank >= sizes.total) {
        throw std::out_of_range("placement rank " + std::to_string(rank) + " is not below " +
                                std::to_string(sizes.total) + ", the number of placements of " +
                                std::to_string(size) + " agents");
    }
    return std::make_unique<Cursor>(*this, sizes, rank);
}

} // namespace orv::solver
