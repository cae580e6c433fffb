#pragma once

#include "filecrawler/Export.h"
#include "host/FileInfoInterface.h"

#include <QString>
#include <QThread>
#include <boost/shared_ptr.hpp>

#include <atomic>
#include <list>
#include <string>

// Walks a folder tree on a worker thread and collects the relative paths of
// all files below the root, depth-first in the order the entries are listed.
//
// Connect to processingDirectory(), start() the thread, and read result() once
// it has finished. Destroying a running crawler aborts the walk and waits for
// the thread.
//
// Errors never leave the thread: they end the walk and their message is
// stored in Result::errorString. That holds for every std::exception, not
// only for the host's norvale::ExceptionBase: a crawl must never end the host
// through std::terminate (out of memory, say). A null root is reported as a
// missing directory.
//
// While a crawl runs, the owner may call only the QThread operations that
// watch or wait for the thread (isRunning(), isFinished(), wait()) and
// destroy the crawler. result() and takeResult() are for after the thread
// has finished. A second run() while one is running (called directly, on any
// thread) returns at once and touches nothing.
class BRIM_FILECRAWLER_EXPORT FolderCrawler : public QThread {
    Q_OBJECT

public:
    struct Result {
        boost::shared_ptr<FileInfoInterface const> folder; // the root of the crawl
        std::list<std::string> files;                      // relative, joined with "/"
        QString errorString;                               // null unless a walk failed
    };

    static std::string const ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING;
    static std::string const ROOT_PATH_IS_NOT_READABLE_ERROR_STRING;
    // "The specified path: <path> is not readable.": how the library names a
    // folder below the root, or a crawled folder, that it may not read.
    static std::string pathIsNotReadableErrorString(std::string const& path);

    explicit FolderCrawler(boost::shared_ptr<FileInfoInterface const> root);
    ~FolderCrawler() override;

    FolderCrawler(FolderCrawler const&) = delete;
    FolderCrawler& operator=(FolderCrawler const&) = delete;

    void run() override;

    // Read it after the thread has finished.
    Result const& result();
    // The result, taken over after the thread has finished: the crawler keeps
    // its folder and error string, and is left without files. A crawl's list
    // can hold millions of paths; MetadataFileCrawler::setCrawlResult() takes
    // this one over without copying it.
    Result takeResult();

Q_SIGNALS:
    // Emitted on the worker thread for every directory entered, before its
    // entries are listed, with the directory's full path.
    void processingDirectory(QString directory) const;

private:
    BRIM_FILECRAWLER_NO_EXPORT void abort();
    BRIM_FILECRAWLER_NO_EXPORT void crawlFolder(FileInfoInterface const& folder,
                                                std::string const& relativePath,
                                                std::list<std::string>& files);

    Result result_;
    std::atomic<bool> abortRequested_;
    std::atomic<bool> running_; // a run() is under way
    // Raised (release) when run() has written the result, read (acquire)
    // before the owner touches it: QThread::wait() orders the two threads
    // already, but through Qt's own mutex, which thread checkers cannot see.
    std::atomic<bool> resultWritten_;
};
