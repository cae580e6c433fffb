#include "StudyChecks.h"

#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"
#include "host/ValidationResult.h"

namespace cli {
namespace {

// A syntax name with no character but '*' selects nothing, by the library's rule.
bool blankSyntaxName(std::string const& syntaxName)
{
    return syntaxName.find_first_not_of('*') == std::string::npos;
}

} // namespace

void checkRoot(FileInfoInterface const& root)
{
    if (!root.exists())
        throw ProgramError(RootMissing, "The specified folder: " + root.path() + " does not exist.");
    if (!root.isDirectory())
        throw ProgramError(RootNotDirectory, "The specified path: " + root.path() + " must be a directory.");
    if (!root.isReadable())
        throw ProgramError(RootNotReadable, FolderCrawler::pathIsNotReadableErrorString(root.path()));
}

void rootChanged(std::string const& root, std::string const& message)
{
    checkRoot(*LocalFileInfo::create(root));
    throw ProgramError(RootNotReadable, message);
}

IdentifierList::IdentifierList(std::vector<AuxFileIdentifier> identifiers)
    : identifiers_(std::move(identifiers))
{
}

std::vector<AuxFileIdentifier> IdentifierList::identifiers() const
{
    return identifiers_;
}

std::vector<std::string> unusableIdentifierMessages(AuxFileIdentifierValidator const& validator,
                                                    bool skipping)
{
    std::vector<std::string> messages;
    for (AuxFileIdentifier const& identifier : validator.identifiers()) {
        if (identifier.tag.empty() && identifier.syntaxName.empty())
            continue;
        norvale::ValidationResult result = validator.tagValidator()->validate(identifier.tag);
        std::string gloss;
        if (result.isValid()) {
            result = validator.syntaxNameValidator()->validate(identifier.syntaxName);
            gloss =
                blankSyntaxName(identifier.syntaxName)
                    ? " (a SYNTAX of * alone, or none, is refused whatever the files; ?* selects every file)"
                    : " (it selects no file of any case)";
        }
        if (!result.isValid())
            messages.push_back(std::string(skipping ? "skipping" : "unusable") + " --aux " + identifier.tag +
                               "=" + identifier.syntaxName + ": " + result.errorString() + gloss);
    }
    return messages;
}

} // namespace cli
