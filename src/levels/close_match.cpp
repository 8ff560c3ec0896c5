// difflib's SequenceMatcher, as far as get_close_matches uses it, on code points.
#include "close_match.hpp"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace orv::levels {

namespace {

constexpr double kCutoff = 0.6;
/// From this length on, difflib treats the characters that fill more than 1% of `b` as
/// "popular": they start no match, though matches still grow over them.
constexpr std::size_t kAutojunkLength = 200;

/// The code points of UTF-8 text; a byte that starts no valid sequence counts as itself.
std::u32string code_points(const std::string& text) {
    std::u32string points;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 0x6 ? 2 : lead >> 4 == 0xe ? 3
                                   : lead >> 3 == 0x1e                  ? 4
                                                                        : 1;
        char32_t point = length == 1 ? lead : lead & (0x7fU >> length);
        std::size_t taken = 1;
        for (; taken < length && at + taken < text.size(); ++taken) {
            point = (point << 6) | (static_cast<unsigned char>(text[at + taken]) & 0x3fU);
        }
        points.push_back(taken == length ? point : lead);
        at += taken == length ? length : 1;
    }
    return points;
}

double ratio_of(std::size_t matches, std::size_t length) {
    return length > 0 ? 2.0 * static_cast<double>(matches) / static_cast<double>(length) : 1.0;
}

/// The second sequence of the matcher (difflib's `b`), with where each character stands.
class MatchTarget {
public:
    explicit MatchTarget(std::u32string b) : b_(std::move(b)) {
        for (std::size_t j = 0; j < b_.size(); ++j) {
            b2j_[b_[j]].push_back(j);
            ++counts_[b_[j]];
        }
        if (b_.size() >= kAutojunkLength) {
            const std::size_t most = b_.size() / 100 + 1;
            for (auto entry = b2j_.begin(); entry != b2j_.end();) {
                entry = entry->second.size() > most ? b2j_.erase(entry) : std::next(entry);
            }
        }
    }

    /// difflib's quick_ratio: the characters both hold, however placed.
    double quick_ratio(const std::u32string& a) const {
        std::map<char32_t, std::size_t> left = counts_;
        std::size_t matches = 0;
        for (const char32_t point : a) {
            auto found = left.find(point);
            if (found != left.end() && found->second > 0) {
                --found->second;
                ++matches;
            }
        }
        return ratio_of(matches, a.size() + b_.size());
    }

    /// difflib's ratio: the sizes of the matching blocks, found as get_matching_blocks does.
    double ratio(const std::u32string& a) const {
        std::size_t matches = 0;
        std::vector<std::tuple<std::size_t, std::size_t, std::size_t, std::size_t>> queue{
            {0, a.size(), 0, b_.size()}};
        while (!queue.empty()) {
            const auto [alo, ahi, blo, bhi] = queue.back();
            queue.pop_back();
            const auto [i, j, k] = longest_match(a, alo, ahi, blo, bhi);
            if (k == 0) {
                continue;
            }
            matches += k;
            if (alo < i && blo < j) {
                queue.emplace_back(alo, i, blo, j);
            }
            if (i + k < ahi && j + k < bhi) {
                queue.emplace_back(i + k, ahi, j + k, bhi);
            }
        }
        return ratio_of(matches, a.size() + b_.size());
    }

    std::size_t size() const { return b_.size(); }

private:
    /// difflib's find_longest_match with no junk: the longest block, the earliest in `a` and
    /// then in `b` among equals, grown over popular characters at both ends.
    std::tuple<std::size_t, std::size_t, std::size_t>
    longest_match(const std::u32string& a, std::size_t alo, std::size_t ahi, std::size_t blo,
                  std::size_t bhi) const {
        std::size_t best_i = alo, best_j = blo, best_size = 0;
        // Lengths of the matches ending at a[i - 1] and b[j], by j + 1.
        std::vector<std::size_t> ending(b_.size() + 1, 0), next(b_.size() + 1, 0);
        std::vector<std::size_t> touched, touched_next;
        for (std::size_t i = alo; i < ahi; ++i) {
            const auto found = b2j_.find(a[i]);
            if (found != b2j_.end()) {
                for (const std::size_t j : found->second) {
                    if (j < blo) {
                        continue;
                    }
                    if (j >= bhi) {
                        break;
                    }
                    const std::size_t k = ending[j] + 1;
                    next[j + 1] = k;
                    touched_next.push_back(j + 1);
                    if (k > best_size) {
                        best_i = i + 1 - k;
                        best_j = j + 1 - k;
                        best_size = k;
                    }
                }
            }
            for (const std::size_t index : touched) {
                ending[index] = 0;
            }
            std::swap(ending, next);
            std::swap(touched, touched_next);
            touched_next.clear();
        }
        while (best_i > alo && best_j > blo && a[best_i - 1] == b_[best_j - 1]) {
            --best_i;
            --best_j;
            ++best_size;
        }
        while (best_i + best_size < ahi && best_j + best_size < bhi &&
               a[best_i + best_size] == b_[best_j + best_size]) {
            ++best_size;
        }
        return {best_i, best_j, best_size};
    }

    std::u32string b_;
    std::map<char32_t, std::vector<std::size_t>> b2j_;
    std::map<char32_t, std::size_t> counts_;
};

} // namespace

std::string closest_match(const std::string& word, const std::vector<std::string>& candidates) {
    const MatchTarget target(code_points(word));
    double best_score = -1.0;
    std::string best;
    for (const std::string& candidate : candidates) {
        const std::u32string a = code_points(candidate);
        const std::size_t shorter = std::min(a.size(), target.size());
        if (ratio_of(shorter, a.size() + target.size()) < kCutoff ||
            target.quick_ratio(a) < kCutoff) {
            continue;
        }
        const double score = target.ratio(a);
        // Python's nlargest over (score, text): equal scores go to the greater text, compared
        // by code points, which UTF-8 byte order keeps.
        if (score >= kCutoff && (score > best_score || (score == best_score && candidate > best))) {
            best_score = score;
            best = candidate;
        }
    }
    return best;
}

} // namespace orv::levels
