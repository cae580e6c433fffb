#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

// The orders of a tree's paths: the order in which a depth-first walk enters
// them, and sorting the lists such a walk produces.
namespace support {

// Whether a walk that enters directories depth-first, each one's entries in
// byte order of their names, enters the directory `a` before `b` (paths of
// components joined by '/'): compared component by component, and a
// directory before those below it. So "a" < "a/x" < "a-1": a plain byte
// comparison would put "a-1" before "a/x", as '-' sorts before '/'.
inline bool walksBefore(std::string_view a, std::string_view b)
{
    std::size_t ia = 0;
    std::size_t ib = 0;
    for (;;) {
        if (ia > a.size())
            return ib <= b.size();
        if (ib > b.size())
            return false;
        std::size_t const ea = std::min(a.find('/', ia), a.size());
        std::size_t const eb = std::min(b.find('/', ib), b.size());
        std::string_view const ca = a.substr(ia, ea - ia);
        std::string_view const cb = b.substr(ib, eb - ib);
        if (ca != cb)
            return ca < cb;
        ia = ea + 1;
        ib = eb + 1;
    }
}

// Sorts `items` by `less`, keeping equal items in their order (as
// std::stable_sort does), in about linear time when they come as a few
// interleaved ascending runs. A crawl's paths do: a walk in name order lists
// "a-1/x" after "a/x" although it sorts before it, so subtrees come out of
// order, each ascending in itself.
//
// Each item joins the first run whose last item is not greater; those that
// fit none of the first `maxRuns` runs are sorted on their own. The runs are
// then merged pairwise, earlier runs winning ties: an item never joins an
// earlier run than an equal item before it, so ties keep their order.
//
//   items:  a/1 a/2 a-1/1 a/3 a-1/2 b/1     (a walk's order, not byte order)
//   runs:   [a/1 a/2 a/3 b/1] [a-1/1 a-1/2]  -> merged: a-1/1 a-1/2 a/1 ...
//
// `maxRuns` bounds the work per item (it looks at the last item of each
// run): a walk's lists interleave a few runs, so more would not be used,
// and a list that comes in no order at all falls back to std::stable_sort
// after this many comparisons per item. Not measured.
template <typename T, typename Less> void stableSortAlmostSorted(std::vector<T>& items, Less less)
{
    auto const unsorted = std::is_sorted_until(items.begin(), items.end(), less);
    if (unsorted == items.end())
        return;

    constexpr std::size_t maxRuns = 16;
    std::vector<std::vector<T>> runs(1);
    runs[0].reserve(items.size());
    std::move(items.begin(), unsorted, std::back_inserter(runs[0]));
    std::vector<T> rest;
    for (auto item = unsorted; item != items.end(); ++item) {
        auto run = std::find_if(runs.begin(), runs.end(),
                                [&](std::vector<T> const& r) { return !less(*item, r.back()); });
        if (run != runs.end()) {
            run->push_back(std::move(*item));
        } else if (runs.size() < maxRuns) {
            runs.emplace_back();
            runs.back().push_back(std::move(*item));
        } else {
            rest.push_back(std::move(*item));
        }
    }
    if (!rest.empty()) {
        std::stable_sort(rest.begin(), rest.end(), less);
        runs.push_back(std::move(rest));
    }

    while (runs.size() > 1) {
        std::vector<std::vector<T>> merged;
        merged.reserve((runs.size() + 1) / 2);
        for (std::size_t i = 0; i < runs.size(); i += 2) {
            if (i + 1 == runs.size()) {
                merged.push_back(std::move(runs[i]));
                break;
            }
            std::vector<T> both;
            both.reserve(runs[i].size() + runs[i + 1].size());
            std::merge(std::make_move_iterator(runs[i].begin()), std::make_move_iterator(runs[i].end()),
                       std::make_move_iterator(runs[i + 1].begin()),
                       std::make_move_iterator(runs[i + 1].end()), std::back_inserter(both), less);
            runs[i].clear();
            runs[i].shrink_to_fit();
            runs[i + 1].clear();
            runs[i + 1].shrink_to_fit();
            merged.push_back(std::move(both));
        }
        runs.swap(merged);
    }
    items = std::move(runs[0]);
}

} // namespace support
