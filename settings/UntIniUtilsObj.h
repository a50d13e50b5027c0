// The INI file wrapper of the settings: one working section, text, integer and Boolean keys.
//
// The file is read once when the object is created; writes change the copy in memory and are
// saved by flush() (or, when no earlier save failed, by the destructor). A save replaces the
// whole file at once, so a crash never leaves half a file behind.
#pragma once

#include "settings/UntIniDocument.h"

#include <stdexcept>
#include <string>
#include <string_view>

// A save that the file system refused; what() is "Unable to write to <full path>".
class TIniWriteError : public std::runtime_error {
public:
    explicit TIniWriteError(const std::string& path);
    const std::string& getPath() const { return path_; }

private:
    std::string path_;
};

class TIniUtilsObj {
public:
    // The file need not exist; a missing or unreadable file reads as an empty one. An existing
    // file that cannot be read is never replaced: saving it fails with TIniWriteError.
    explicit TIniUtilsObj(std::string path);
    // Saves pending writes unless a save already failed; never throws.
    ~TIniUtilsObj();
    TIniUtilsObj(const TIniUtilsObj&) = delete;
    TIniUtilsObj& operator=(const TIniUtilsObj&) = delete;

    const std::string& getPath() const { return path_; }
    const std::string& getWorkingSection() const { return workingSection_; }
    void setWorkingSection(std::string section) { workingSection_ = std::move(section); }

    // Writes throw std::invalid_argument for a key or value the file cannot hold (see TIniDocument).
    void writeString(std::string_view key, std::string_view value);
    std::string readString(std::string_view key, std::string_view defaultValue) const;
    // Decimal text.
    void writeInteger(std::string_view key, int value);
    int readInteger(std::string_view key, int defaultValue) const;
    // "1" or "0"; any stored number other than 0 reads as true.
    void writeBool(std::string_view key, bool value);
    bool readBool(std::string_view key, bool defaultValue) const;

    // Saves pending writes; throws TIniWriteError when the file system refuses them. The
    // writes stay pending, so a later flush() may try again.
    void flush();
    bool hasPendingWrites() const { return dirty_; }
    // Lines of the file that were not understood (their settings read as missing).
    std::size_t getUnreadLineCount() const { return document_.getUnreadLineCount(); }

private:
    std::string path_;
    std::string workingSection_ = "DEFAULT";
    TIniDocument document_;
    bool readable_ = true;
    bool dirty_ = false;
    bool failed_ = false;
};
