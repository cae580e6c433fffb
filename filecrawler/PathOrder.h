#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

// Sorting for lists that come almost in order. Internal.
namespace pathorder {

// Sorts `items` by `less`, keeping equal items in their order (as
// std::stable_sort does), in about linear time when they come as a few
// interleaved ascending runs. A crawl's paths do: a walk in name order lists
// "a-1/x" after "a/x" although it sorts before it, so subtrees come out of
// order, each ascending in itself.
//
// Each item joins the first run whose last item is not greater; those that
// fit none of the first few runs are sorted on their own. The runs are then
// merged pairwise, earlier runs winning ties: an item never joins an earlier
// run than an equal item before it, so ties keep their order.
template <typename T, typename Less>
void stableSortAlmostSorted(std::vector<T>& items, Less less)
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
                       std::make_move_iterator(runs[i + 1].begin()), std::make_move_iterator(runs[i + 1].end()),
                       std::back_inserter(both), less);
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

} // namespace pathorder
