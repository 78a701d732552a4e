#pragma once

#include "common/base/Text.h"

namespace corvane {

class FileVisitor {
public:
    virtual ~FileVisitor() = default;
    // Answer false to stop the whole scan.
    virtual bool file_found(const WString& path) = 0;
    virtual bool folder_found(const WString& path) = 0;
};

// Visits the files of `folder` matching `file_pattern` ("*.skin"; "*" and "?" wildcards), then
// its sub-folders matching `folder_pattern` (a pattern that matches nothing, such as
// "do_not_search", turns that pass off), descending when `recursive`. Entries are visited in
// name order so scans are repeatable. Always answers true, also when stopped early.
bool find_files(FileVisitor& visitor, WStringView folder, WStringView file_pattern,
    WStringView folder_pattern, bool recursive);

} // namespace corvane
