#pragma once

// The parser and its file entries exactly as first written down: each entry
// keeps its records and values in vectors, the parser keeps a map from path
// to entry made with make_shared, and a map from value tuple to entries. The
// case-forming fuzzer compares the library's parser with this one on
// generated call sequences, and the benchmarks time them side by side.

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"
#include "filecrawler/private/PathValueScanner.h"

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace literal {

class FilePath {
public:
    explicit FilePath(std::string const& path) : path_(path) {}

    std::string const& filePath() const { return path_; }
    bool isIdentified() const { return identified_; }
    void setCaseIndex(std::size_t caseIndex) { caseIndex_ = caseIndex; }
    std::size_t caseIndex() const { return caseIndex_; }
    std::vector<MetadataInfo> const& metadataInfoList() const { return infos_; }
    std::vector<std::string> const& metadataSValueList() const { return values_; }
    void clearMetadataInfoList() { infos_.clear(); }
    void clearIdentification() { identified_ = false; }

    bool matchMetadataPatterns(std::vector<MetadataPattern> const& patterns)
    {
        if (patterns.empty())
            return false;
        std::string_view const path(path_);
        std::vector<std::size_t> positions;
        bool result = pathvalue::findPatternPositions(path, patterns, positions);
        for (std::size_t i = 0; result && i + 1 < positions.size(); ++i) {
            std::string_view const segment = path.substr(positions[i], positions[i + 1] - positions[i]);
            std::size_t const start = patterns[i].pattern.size();
            std::size_t end = 0;
            result = patterns[i].valueType == MetadataPattern::Numeric
                         ? pathvalue::findNumericValueEnd(segment, start, end)
                         : pathvalue::findStringValueEnd(segment, start, end);
            if (!result)
                break;
            MetadataInfo info;
            info.patternPosition = positions[i];
            info.valuePosition = positions[i] + start;
            info.valueLength = end - start;
            info.value = path_.substr(info.valuePosition, info.valueLength);
            infos_.push_back(info);
        }
        identified_ = result;
        if (result) {
            values_.clear();
            for (MetadataInfo const& info : infos_)
                values_.push_back(info.value);
        }
        return result;
    }

private:
    std::string path_;
    std::size_t caseIndex_ = 0;
    std::vector<MetadataInfo> infos_;
    std::vector<std::string> values_;
    bool identified_ = false;
};

class Parser {
public:
    using Entry = boost::shared_ptr<FilePath>;

    void appendRawFilePath(std::string const& path) { files_[path] = boost::make_shared<FilePath>(path); }
    void clearFilePaths() { files_.clear(); }

    void applyMetadataPatternList(std::vector<MetadataPattern> const& patterns)
    {
        for (auto& file : files_) {
            file.second->clearMetadataInfoList();
            if (patterns.empty())
                file.second->clearIdentification(); // as the library decided
        }
        caseFiles_.clear();
        cases_.clear();
        if (patterns.empty())
            return;
        for (auto& file : files_) {
            Entry const& entry = file.second;
            entry->matchMetadataPatterns(patterns);
            if (!entry->isIdentified())
                continue;
            std::vector<std::string> const& key = entry->metadataSValueList();
            auto found = caseFiles_.find(key);
            if (found != caseFiles_.end()) {
                found->second.push_back(entry);
                entry->setCaseIndex(found->second.front()->caseIndex());
            } else {
                caseFiles_.emplace(key, std::vector<Entry>{entry});
                cases_.push_back(key);
                entry->setCaseIndex(cases_.size() - 1);
            }
        }
    }

    std::vector<MetadataInfo> metadataInfoList(std::string const& path) const
    {
        auto const found = files_.find(path);
        return found == files_.end() ? std::vector<MetadataInfo>() : found->second->metadataInfoList();
    }
    std::size_t numDefinedCases() const { return cases_.size(); }
    std::string caseMetadataSValue(std::size_t caseIndex, std::size_t metadataIndex) const
    {
        return cases_[caseIndex][metadataIndex];
    }
    std::vector<Entry> crawlerFilePathList() const
    {
        std::vector<Entry> list;
        list.reserve(files_.size());
        for (auto const& file : files_)
            list.push_back(file.second);
        return list;
    }

private:
    std::map<std::string, Entry> files_;
    std::map<std::vector<std::string>, std::vector<Entry>> caseFiles_;
    std::vector<std::vector<std::string>> cases_;
};

} // namespace literal
