#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/ValidatorInterface.h"
#include "host/AuxFileCollectionInterface.h"
#include "host/AuxFileInfoInterface.h"
#include "host/TagValidator.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>
#include <vector>

// One kind of auxiliary file: the syntax name that selects its files and the
// tag they are filed under.
struct AuxFileIdentifier {
    std::string syntaxName;
    std::string tag;
};

// Judges the host's auxiliary-file identifiers against a list of candidate
// files and files each selected candidate under one tag of its case.
//
// An identifier is usable when the tag validator accepts its tag and its
// syntax name selects at least one candidate path. The first usable
// identifier, in the provider's order, that selects a candidate decides its
// tag; a candidate is filed at most once (candidates are told apart by
// owner, as std::set<boost::shared_ptr<...>> does). Candidates with the same
// path are one name, standing for the last of them.
//
// Paths are matched as Latin-1 up to a NUL, so any byte string is filed
// unchanged. An empty candidate pointer, or a tag validator missing when a
// tag must be judged, is reported as norvale::ExceptionBase.
class BRIM_FILECRAWLER_EXPORT AuxFileIdentifierValidator {
public:
    class IdentifierProviderInterface {
    public:
        // The current identifiers, in priority order; asked anew on every call.
        virtual std::vector<AuxFileIdentifier> identifiers() const = 0;
        virtual ~IdentifierProviderInterface() = default;
    };

    // The provider must outlive the validator.
    AuxFileIdentifierValidator(IdentifierProviderInterface const& provider,
                               std::vector<boost::shared_ptr<AuxFileInfoInterface>> files,
                               boost::shared_ptr<TagValidator> tagValidator);
    virtual ~AuxFileIdentifierValidator();

    AuxFileIdentifierValidator(AuxFileIdentifierValidator const&) = delete;
    AuxFileIdentifierValidator& operator=(AuxFileIdentifierValidator const&) = delete;

    // True when every identifier is usable (empty identifiers are accepted).
    // Stops at the first unusable one, and forgets cached syntax names that
    // are no longer in use.
    bool isValid() const;

    // A new collection of the candidates, by case and tag.
    boost::shared_ptr<AuxFileCollectionInterface> auxFiles();

    std::vector<AuxFileIdentifier> identifiers() const;
    // Validates syntax names against the candidates, sharing the cache of
    // syntax names known to be valid; gives "Invalid pattern." otherwise.
    boost::shared_ptr<norvale::ValidatorInterface<std::string>> syntaxNameValidator() const;
    boost::shared_ptr<norvale::ValidatorInterface<std::string>> tagValidator() const;

private:
    struct BRIM_FILECRAWLER_NO_EXPORT Impl;
    std::unique_ptr<Impl> impl_;
};
