#include "filecrawler/AuxFileIdentifierValidator.h"

#include "filecrawler/SyntaxNameFilter.h"
#include "filecrawler/private/SyntaxNameSelection.h"
#include "host/ExceptionBase.h"
#include "support/NameStore.h"
#include "support/PathOrder.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

// Paths cross into Qt as Latin-1 (up to a NUL, as Qt's 8-bit conversion
// reads them), so any byte string comes back unchanged and two paths are one
// name exactly when their bytes are equal. The candidates' paths are kept as
// such bytes in a compact name store, shared by the filter and by the
// collections built from it; the filter reports each selected name with its
// position in the candidate list.

namespace {

using support::NameStore;

// A SyntaxNameFilter that remembers the syntax names that validated, so that
// validating them again is a set look-up, and forgets those no longer in use.
class CachingSyntaxNameFilter : public SyntaxNameFilter {
public:
    explicit CachingSyntaxNameFilter(boost::shared_ptr<NameStore const> const& names)
        : SyntaxNameFilter(names), names_(names)
    {
    }

    norvale::ValidationResult validate(std::string const& syntaxName) const override
    {
        norvale::ValidationResult result;
        if (validSyntaxNames_.count(syntaxName) != 0)
            return result;
        result = SyntaxNameFilter::validate(syntaxName);
        if (result.isValid())
            validSyntaxNames_.insert(syntaxName);
        return result;
    }

    // Keeps only the remembered syntax names that are in `syntaxNames`.
    void retainSyntaxNames(std::set<std::string> const& syntaxNames)
    {
        std::set<std::string> const previous = std::move(validSyntaxNames_);
        validSyntaxNames_.clear();
        std::set_intersection(previous.begin(), previous.end(), syntaxNames.begin(), syntaxNames.end(),
                              std::inserter(validSyntaxNames_, validSyntaxNames_.begin()));
    }

    boost::shared_ptr<NameStore const> const& names() const { return names_; }

private:
    boost::shared_ptr<NameStore const> names_;
    mutable std::set<std::string> validSyntaxNames_;
};

// One filed file in 64 bits: whether its path is one of the collection's
// own (else a name of the shared name store), its tag's number, and the
// position of the path in the own list or of the name in the store.
//
//    63  62 ............ 40  39 ................ 0
//   [own][     tag number   ][       where        ]
//    1 bit     23 bits               40 bits
//
// Filed so, then put in order of case once, the identification of a million
// parsed files took 231 ms instead of 417 with a table per case
// (BM_IdentificationOfParsedFiles, commit 9626409).
struct FiledFile {
    static constexpr unsigned whereBits = 40;
    static constexpr unsigned tagBits = 23;
    static constexpr std::uint64_t maxWhere = (std::uint64_t(1) << whereBits) - 1;
    static constexpr std::uint64_t maxTags = (std::uint64_t(1) << tagBits) - 1; // tag numbers stay below
    static constexpr std::uint64_t ownBit = std::uint64_t(1) << (whereBits + tagBits);

    // REQUIRES: tag < maxTags, where <= maxWhere.
    static std::uint64_t pack(bool own, std::uint64_t tag, std::uint64_t where)
    {
        assert(tag < maxTags && where <= maxWhere);
        return (own ? ownBit : 0) | (tag << whereBits) | where;
    }
    static bool isOwn(std::uint64_t entry) { return (entry & ownBit) != 0; }
    static std::uint64_t tagOf(std::uint64_t entry) { return (entry & ~ownBit) >> whereBits; }
    static std::uint64_t whereOf(std::uint64_t entry) { return entry & maxWhere; }
};
static_assert(1 + FiledFile::tagBits + FiledFile::whereBits == 64, "the fields fill the word");

// The auxiliary files of all cases, by case index and tag.
//
// A filed path that is one of the candidates' names is kept as that name's
// position in the shared name store; any other path (one with a NUL, say) is
// kept in a list of its own. Files are filed in any order of cases, then put
// in order of case once: a case's files stay in one run, in the order they
// were filed, each marked with its tag. That takes 8 bytes a file, where a
// table per case would take a hundred.
class AuxFileCollection : public virtual AuxFileCollectionInterface {
public:
    explicit AuxFileCollection(boost::shared_ptr<NameStore const> names) : names_(std::move(names)) {}

    void add(std::size_t caseIndex, std::string const& tag, std::string path)
    {
        file(caseIndex, tag, true, otherPaths_.size());
        otherPaths_.push_back(std::move(path));
    }

    // Files the name at `position` of the name store.
    void addName(std::size_t caseIndex, std::string const& tag, std::size_t position)
    {
        file(caseIndex, tag, false, position);
    }

    // Puts the files in order of case; called once all are filed.
    void finish()
    {
        runStarts_.assign(caseCount_ + 1, 0);
        for (Filed const& filed : filed_)
            ++runStarts_[filed.caseIndex + 1];
        for (std::size_t c = 0; c < caseCount_; ++c)
            runStarts_[c + 1] += runStarts_[c];
        std::vector<std::size_t> next(runStarts_.begin(), runStarts_.end() - 1);
        entries_.resize(filed_.size());
        for (Filed const& filed : filed_)
            entries_[next[filed.caseIndex]++] = filed.entry;
        std::vector<Filed>().swap(filed_);
    }

    bool isEmpty() const override { return caseCount_ == 0; }

    std::set<std::string> tags() const override
    {
        std::set<std::string> tags;
        for (auto const& tagNumber : tagNumbers_)
            tags.insert(tags.end(), tagNumber.first);
        return tags;
    }

    std::vector<std::string> auxFilePaths(std::size_t caseIndex, std::string const& tag) const override
    {
        if (caseIndex >= caseCount_)
            return {};
        auto const number = tagNumbers_.find(tag);
        if (number == tagNumbers_.end())
            return {};
        std::vector<std::string> result;
        NameStore::Reader reader(*names_);
        for (std::size_t i = runStarts_[caseIndex]; i < runStarts_[caseIndex + 1]; ++i) {
            std::uint64_t const entry = entries_[i];
            if (FiledFile::tagOf(entry) != number->second)
                continue;
            std::uint64_t const where = FiledFile::whereOf(entry);
            if (FiledFile::isOwn(entry))
                result.push_back(otherPaths_[where]);
            else
                result.emplace_back(reader.at(where));
        }
        return result;
    }

    std::size_t caseCount() const override { return caseCount_; }

private:
    struct Filed {
        std::size_t caseIndex;
        std::uint64_t entry;
    };

    void file(std::size_t caseIndex, std::string const& tag, bool own, std::uint64_t where)
    {
        if (caseIndex >= std::numeric_limits<std::size_t>::max() - 1)
            throw norvale::ExceptionBase(
                "The case index " + std::to_string(caseIndex) + " of an auxiliary file is too large.", false);
        if (where > FiledFile::maxWhere)
            throw norvale::ExceptionBase("Too many auxiliary files to file: " + std::to_string(where) + ".",
                                         false);
        if (!lastTag_ || lastTag_->first != tag) {
            auto number = tagNumbers_.find(tag);
            if (number == tagNumbers_.end()) {
                if (tagNumbers_.size() >= FiledFile::maxTags)
                    throw norvale::ExceptionBase("Too many tags of auxiliary files, at: " + tag + ".", false);
                number = tagNumbers_.emplace(tag, static_cast<std::uint64_t>(tagNumbers_.size())).first;
            }
            lastTag_ = &*number;
        }
        filed_.push_back(Filed{caseIndex, FiledFile::pack(own, lastTag_->second, where)});
        caseCount_ = std::max(caseCount_, caseIndex + 1);
    }

    std::map<std::string, std::uint64_t> tagNumbers_; // the tags filed under, numbered as met
    std::pair<std::string const, std::uint64_t> const* lastTag_ = nullptr;
    std::vector<Filed> filed_;           // until finish()
    std::vector<std::uint64_t> entries_; // by case, then in filing order
    std::vector<std::size_t> runStarts_; // the first entry of each case, and the end
    std::size_t caseCount_ = 0;
    boost::shared_ptr<NameStore const> names_;
    std::vector<std::string> otherPaths_;
};

bool isEmptyIdentifier(AuxFileIdentifier const& identifier)
{
    return identifier.syntaxName.empty() && identifier.tag.empty();
}

using Candidate = boost::shared_ptr<AuxFileInfoInterface>;

} // namespace

struct AuxFileIdentifierValidator::Impl {
    Impl(IdentifierProviderInterface const& provider, std::vector<Candidate> files,
         boost::shared_ptr<TagValidator> tagValidator)
        : provider(provider), candidates(std::move(files)), tagValidator(std::move(tagValidator))
    {
        auto names = boost::make_shared<NameStore>();
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (!candidates[i])
                throw norvale::ExceptionBase("The candidate file at position " + std::to_string(i) +
                                                 " of the list is missing (an empty pointer).",
                                             false);
            std::string const path = candidates[i]->filePath();
            names->append(std::string_view(path.c_str(), std::strlen(path.c_str())));
        }
        findRepresentatives(*names);
        findClaimSlots();
        syntaxNameFilter = boost::make_shared<CachingSyntaxNameFilter>(names);
    }

    // A name stands for the last candidate with that name. Paths usually
    // arrive in ascending order, hence distinct, and need no look-up.
    void findRepresentatives(NameStore const& names)
    {
        if (names.isAscending())
            return;
        std::unordered_map<std::string, std::size_t> lastByName;
        lastByName.reserve(names.size());
        NameStore::Reader reader(names);
        representatives.resize(names.size());
        for (std::size_t i = 0; i < names.size(); ++i)
            lastByName[std::string(reader.at(i))] = i;
        for (std::size_t i = 0; i < names.size(); ++i)
            representatives[i] = lastByName.find(std::string(reader.at(i)))->second;
    }

    std::size_t representative(std::size_t position) const
    {
        return representatives.empty() ? position : representatives[position];
    }

    // A candidate is claimed once, however many names or pointers lead to
    // it: the claim of all positions whose pointers share one owner is kept
    // at the first of them. Candidates are told apart by owner, as an
    // ordered set of shared pointers tells them apart; entries made one by
    // one have owners of their own. Owners are nearly always distinct, which
    // a sorted list of their hashes shows without a table.
    void findClaimSlots()
    {
        {
            // Distinct owners, the rule, show in their hashes alone: half the
            // memory of hashes with positions. The hashes (the owners'
            // addresses) come as a few ascending runs, which are merged:
            // std::sort fell back to heap sort on them and took twice as long
            // (a million files: 22 to 35 ms against 10 to 16).
            std::vector<std::size_t> hashes;
            hashes.reserve(candidates.size());
            for (std::size_t i = 0; i < candidates.size(); ++i)
                if (representative(i) == i)
                    hashes.push_back(candidates[i].owner_hash_value());
            if (!std::is_sorted(hashes.begin(), hashes.end()))
                support::stableSortAlmostSorted(hashes, std::less<std::size_t>());
            if (std::adjacent_find(hashes.begin(), hashes.end()) == hashes.end())
                return;
        }
        std::vector<std::pair<std::size_t, std::size_t>> owners; // hash, position
        owners.reserve(candidates.size());
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (representative(i) == i)
                owners.emplace_back(candidates[i].owner_hash_value(), i);
        // Entries made one after another usually lie in ascending order.
        support::stableSortAlmostSorted(owners,
                                        [](auto const& a, auto const& b) { return a.first < b.first; });
        auto const sameHash = [](auto const& a, auto const& b) { return a.first == b.first; };
        if (std::adjacent_find(owners.begin(), owners.end(), sameHash) == owners.end())
            return;
        claimSlots.resize(candidates.size());
        for (auto run = owners.begin(); run != owners.end();) {
            auto const end =
                std::find_if(run, owners.end(), [&](auto const& o) { return o.first != run->first; });
            // Within a run of equal hashes positions ascend (the sort is
            // stable): each takes the slot of the first one before it with
            // the same owner.
            for (auto at = run; at != end; ++at) {
                auto first = run;
                while (!candidates[first->second].owner_equals(candidates[at->second]))
                    ++first;
                claimSlots[at->second] = first->second;
            }
            run = end;
        }
    }

    std::size_t claimSlot(std::size_t candidate) const
    {
        return claimSlots.empty() ? candidate : claimSlots[candidate];
    }

    bool isUsable(AuxFileIdentifier const& identifier) const
    {
        if (!tagValidator)
            throw norvale::ExceptionBase("The auxiliary-file identifier with tag: " + identifier.tag +
                                             " cannot be judged without a tag validator.",
                                         false);
        norvale::ValidatorInterface<std::string> const& tags = *tagValidator;
        if (!tags.validate(identifier.tag).isValid())
            return false;
        norvale::ValidatorInterface<std::string> const& syntaxNames = *syntaxNameFilter;
        return syntaxNames.validate(identifier.syntaxName).isValid();
    }

    IdentifierProviderInterface const& provider;
    std::vector<Candidate> candidates;
    std::vector<std::size_t> representatives; // by position; empty when every name is distinct
    std::vector<std::size_t> claimSlots;      // by representative; empty when every owner is distinct
    boost::shared_ptr<TagValidator> tagValidator;
    boost::shared_ptr<CachingSyntaxNameFilter> syntaxNameFilter;
};

AuxFileIdentifierValidator::AuxFileIdentifierValidator(
    IdentifierProviderInterface const& provider, std::vector<boost::shared_ptr<AuxFileInfoInterface>> files,
    boost::shared_ptr<TagValidator> tagValidator)
    : impl_(std::make_unique<Impl>(provider, std::move(files), std::move(tagValidator)))
{
}

AuxFileIdentifierValidator::~AuxFileIdentifierValidator() = default;

bool AuxFileIdentifierValidator::isValid() const
{
    std::set<std::string> syntaxNamesInUse;
    bool valid = true;
    if (!impl_->provider.identifiers().empty()) {
        // The provider is asked again; the walk uses the second answer.
        for (AuxFileIdentifier const& identifier : impl_->provider.identifiers()) {
            syntaxNamesInUse.insert(identifier.syntaxName);
            if (isEmptyIdentifier(identifier))
                continue;
            if (!impl_->isUsable(identifier)) {
                valid = false;
                break;
            }
        }
    }
    impl_->syntaxNameFilter->retainSyntaxNames(syntaxNamesInUse);
    return valid;
}

boost::shared_ptr<AuxFileCollectionInterface> AuxFileIdentifierValidator::auxFiles()
{
    NameStore const& names = *impl_->syntaxNameFilter->names();
    auto const collection = boost::make_shared<AuxFileCollection>(impl_->syntaxNameFilter->names());
    std::vector<AuxFileIdentifier> const identifiers = impl_->provider.identifiers();

    // Identifier by identifier: judged, then its selected names filed in
    // list order, each leading to its candidate, which goes under the first
    // usable identifier that selects it. Which names a syntax name selects
    // is worked out (without calling the host) for up to eight identifiers
    // at a time, in one pass over the names.
    std::vector<bool> claimed(impl_->candidates.size(), false);
    std::vector<std::uint8_t> bits;
    std::size_t batchFirst = 0;
    std::size_t batchEnd = 0;
    for (std::size_t k = 0; k < identifiers.size(); ++k) {
        if (!impl_->isUsable(identifiers[k]))
            continue;
        if (k >= batchEnd) {
            batchFirst = k;
            batchEnd = std::min(identifiers.size(), k + syntaxname::maxSelectionBits);
            std::vector<std::string> syntaxNames;
            for (std::size_t j = batchFirst; j < batchEnd; ++j)
                syntaxNames.push_back(identifiers[j].syntaxName);
            bits = syntaxname::selectionBits(names, syntaxNames);
        }
        std::uint8_t const bit = std::uint8_t(1u << (k - batchFirst));
        std::string const& tag = identifiers[k].tag;
        NameStore::Reader reader(names);
        for (std::size_t position = 0; position < bits.size(); ++position) {
            if ((bits[position] & bit) == 0)
                continue;
            std::size_t const candidate = impl_->representative(position);
            std::size_t const slot = impl_->claimSlot(candidate);
            if (claimed[slot])
                continue;
            claimed[slot] = true;
            AuxFileInfoInterface const& file = *impl_->candidates[candidate];
            std::size_t const caseIndex = file.caseIndex();
            std::string path = file.filePath();
            if (path == reader.at(position))
                collection->addName(caseIndex, tag, position);
            else
                collection->add(caseIndex, tag, std::move(path));
        }
    }
    collection->finish();
    return collection;
}

std::vector<AuxFileIdentifier> AuxFileIdentifierValidator::identifiers() const
{
    return impl_->provider.identifiers();
}

boost::shared_ptr<norvale::ValidatorInterface<std::string>>
AuxFileIdentifierValidator::syntaxNameValidator() const
{
    return impl_->syntaxNameFilter;
}

boost::shared_ptr<norvale::ValidatorInterface<std::string>> AuxFileIdentifierValidator::tagValidator() const
{
    return impl_->tagValidator;
}
