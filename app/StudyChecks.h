#pragma once

#include "ProgramError.h"

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "host/FileInfoInterface.h"

#include <string>
#include <vector>

// The checks the program and the Python module make the same way: of the
// root before a crawl, and of the --aux identifiers after it.
namespace cli {

// Throws ProgramError, with the status and the library's message, for a root
// that cannot be crawled (RootMissing, RootNotDirectory, RootNotReadable).
void checkRoot(FileInfoInterface const& root);

// For a root that changed since it was checked (the crawl or the importer
// found it gone): throws checkRoot()'s error for `root` as it is now, or
// ProgramError(RootNotReadable, message) when it looks fine again.
[[noreturn]] void rootChanged(std::string const& root, std::string const& message);

// The --aux identifiers, as the validator asks for them.
class IdentifierList : public AuxFileIdentifierValidator::IdentifierProviderInterface {
public:
    explicit IdentifierList(std::vector<AuxFileIdentifier> identifiers);
    std::vector<AuxFileIdentifier> identifiers() const override;

private:
    std::vector<AuxFileIdentifier> identifiers_;
};

// A message for each unusable identifier, with the reason the validators
// give, judged as the library judges them: the tag first, then the syntax
// name. Empty identifiers are accepted. `skipping`: the program goes on
// without them.
std::vector<std::string> unusableIdentifierMessages(AuxFileIdentifierValidator const& validator,
                                                    bool skipping);

} // namespace cli
