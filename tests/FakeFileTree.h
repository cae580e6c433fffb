#pragma once

#include "host/ExceptionBase.h"
#include "host/FileInfoInterface.h"

#include <boost/make_shared.hpp>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

// An in-memory tree behind FileInfoInterface, for tests that must control what
// the crawler and the importer see: listing order, missing or unreadable
// entries, listings that throw or block.
class FakeEntry : public FileInfoInterface {
public:
    using Ptr = boost::shared_ptr<FakeEntry>;

    bool directory = false;
    bool present = true;
    bool readable = true;
    std::string fullPath;
    std::string ownName;
    std::vector<Ptr> entries;
    std::string childrenError;        // thrown by children() when not empty
    std::function<void()> onChildren; // run at the start of children()
    mutable std::atomic<int> nameCalls{0};
    mutable std::atomic<int> childrenCalls{0};

    bool isDirectory() const override { return directory; }
    bool isReadable() const override { return readable; }
    bool isWritable() const override { return false; }
    bool isFile() const override { return !directory; }
    bool exists() const override { return present; }
    bool isSymLink() const override { return false; }
    std::string path() const override { return fullPath; }
    std::string name() const override
    {
        ++nameCalls;
        return ownName;
    }
    std::uint64_t size() const override { return 0; }
    std::vector<boost::shared_ptr<FileInfoInterface const>> children(std::string const&) const override
    {
        ++childrenCalls;
        if (onChildren)
            onChildren();
        if (!childrenError.empty())
            throw norvale::ExceptionBase(childrenError, false);
        return {entries.begin(), entries.end()};
    }

    // Gives this entry and everything below it full paths under `parentPath`.
    void place(std::string const& parentPath)
    {
        fullPath = parentPath.empty() ? ownName : parentPath + "/" + ownName;
        for (Ptr const& entry : entries)
            entry->place(fullPath);
    }
};

inline FakeEntry::Ptr fakeFile(std::string const& name)
{
    auto entry = boost::make_shared<FakeEntry>();
    entry->ownName = entry->fullPath = name;
    return entry;
}

// A directory holding `entries`, listed in the order given. Its name is also
// its full path until it is placed inside another directory.
inline FakeEntry::Ptr fakeDir(std::string const& name, std::vector<FakeEntry::Ptr> entries = {})
{
    auto entry = fakeFile(name);
    entry->directory = true;
    entry->entries = std::move(entries);
    entry->place("");
    return entry;
}
