#include "filecrawler/AuxFileIdentifierValidator.h"

#include "filecrawler/SyntaxNameFilter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

namespace {

// A SyntaxNameFilter that remembers the syntax names that validated, so that
// validating them again is a set look-up, and forgets those no longer in use.
class CachingSyntaxNameFilter : public SyntaxNameFilter {
public:
    explicit CachingSyntaxNameFilter(QStringList const& names) : SyntaxNameFilter(names) {}

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

private:
    mutable std::set<std::string> validSyntaxNames_;
};

// The auxiliary files of all cases, by case index and tag.
class AuxFileCollection : public virtual AuxFileCollectionInterface {
public:
    void add(std::size_t caseIndex, std::string const& tag, std::string const& path)
    {
        auto number = tagNumbers_.find(tag);
        if (number == tagNumbers_.end()) {
            number = tagNumbers_.emplace(tag, nextTagNumber_++).first;
            tags_.insert(tag);
        }
        if (caseIndex >= cases_.size())
            cases_.resize(caseIndex + 1);
        cases_[caseIndex][number->second].push_back(path);
    }

    bool isEmpty() const override { return cases_.empty(); }

    std::set<std::string> tags() const override { return tags_; }

    std::vector<std::string> auxFilePaths(std::size_t caseIndex, std::string const& tag) const override
    {
        if (caseIndex >= cases_.size())
            return {};
        auto const& byTag = cases_[caseIndex];
        if (byTag.empty())
            return {};
        auto const number = tagNumbers_.find(tag);
        if (number == tagNumbers_.end())
            return {};
        auto const paths = byTag.find(number->second);
        return paths == byTag.end() ? std::vector<std::string>() : paths->second;
    }

    std::size_t caseCount() const override { return cases_.size(); }

private:
    std::set<std::string> tags_;
    std::map<std::string, unsigned int> tagNumbers_;
    unsigned int nextTagNumber_ = 0;
    std::vector<std::map<unsigned int, std::vector<std::string>>> cases_;
};

bool isEmptyIdentifier(AuxFileIdentifier const& identifier)
{
    return identifier.syntaxName.empty() && identifier.tag.empty();
}

// Paths cross into Qt as Latin-1, so any byte string comes back unchanged.
QString toName(std::string const& path)
{
    return QString::fromLatin1(path.c_str());
}

std::string fromName(QString const& name)
{
    QByteArray const bytes = name.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

struct AuxFileIdentifierValidator::Impl {
    Impl(IdentifierProviderInterface const& provider, std::vector<boost::shared_ptr<AuxFileInfoInterface>> files,
         boost::shared_ptr<TagValidator> tagValidator)
        : provider(provider), candidates(std::move(files)), tagValidator(std::move(tagValidator))
    {
        QStringList names;
        names.reserve(static_cast<int>(candidates.size()));
        for (auto const& candidate : candidates) {
            QString name = toName(candidate->filePath());
            candidatesByPath[fromName(name)] = candidate;
            names.append(std::move(name));
        }
        syntaxNameFilter = boost::make_shared<CachingSyntaxNameFilter>(names);
    }

    bool isUsable(AuxFileIdentifier const& identifier) const
    {
        norvale::ValidatorInterface<std::string> const& tags = *tagValidator;
        if (!tags.validate(identifier.tag).isValid())
            return false;
        norvale::ValidatorInterface<std::string> const& syntaxNames = *syntaxNameFilter;
        return syntaxNames.validate(identifier.syntaxName).isValid();
    }

    IdentifierProviderInterface const& provider;
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> candidates;
    std::map<std::string, boost::shared_ptr<AuxFileInfoInterface>> candidatesByPath;
    boost::shared_ptr<TagValidator> tagValidator;
    boost::shared_ptr<CachingSyntaxNameFilter> syntaxNameFilter;
};

AuxFileIdentifierValidator::AuxFileIdentifierValidator(IdentifierProviderInterface const& provider,
                                                       std::vector<boost::shared_ptr<AuxFileInfoInterface>> files,
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
    auto const collection = boost::make_shared<AuxFileCollection>();
    std::set<boost::shared_ptr<AuxFileInfoInterface>> claimed;
    for (AuxFileIdentifier const& identifier : impl_->provider.identifiers()) {
        if (!impl_->isUsable(identifier))
            continue;
        for (QString const& name : impl_->syntaxNameFilter->filter(identifier.syntaxName)) {
            boost::shared_ptr<AuxFileInfoInterface> const& candidate = impl_->candidatesByPath[fromName(name)];
            if (claimed.insert(candidate).second)
                collection->add(candidate->caseIndex(), identifier.tag, candidate->filePath());
        }
    }
    return collection;
}

std::vector<AuxFileIdentifier> AuxFileIdentifierValidator::identifiers() const
{
    return impl_->provider.identifiers();
}

boost::shared_ptr<norvale::ValidatorInterface<std::string>> AuxFileIdentifierValidator::syntaxNameValidator() const
{
    return impl_->syntaxNameFilter;
}

boost::shared_ptr<norvale::ValidatorInterface<std::string>> AuxFileIdentifierValidator::tagValidator() const
{
    return impl_->tagValidator;
}
