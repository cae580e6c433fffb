#pragma once

#include "ExitStatus.h"

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "host/FileInfoInterface.h"

#include <string>
#include <vector>

// The checks the program and the Python module make the same way: of the
// root before a crawl, and of the --aux identifiers after it.
namespace cli {

// The status and the library's message for a root that cannot be crawled, or
// Success when it can.
ExitStatus rootProblem(FileInfoInterface const& root, std::string& message);

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
