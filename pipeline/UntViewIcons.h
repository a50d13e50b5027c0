// Where the views get their icon indexes from. The desktop program maps them into its icon
// registry; everything else can use the null source, whose index 0 is the generic icon.
#pragma once

#include <string_view>

class TIconSource {
public:
    virtual ~TIconSource() = default;
    // Icon of a name judged by its extension alone.
    virtual int extIcon(std::string_view name) = 0;
    // Icon of an existing path (0 when it cannot be found).
    virtual int pathIcon(std::string_view path) = 0;
    // The plain folder icon (the system folder's).
    virtual int windowsDirIcon() = 0;
    // Any thread: the path and the folders above it will be asked for soon; a source that looks
    // paths up can do it now, away from the thread that asks.
    virtual void prime(std::string_view path) { (void)path; }
};

class TNullIconSource final : public TIconSource {
public:
    int extIcon(std::string_view) override { return 0; }
    int pathIcon(std::string_view) override { return 0; }
    int windowsDirIcon() override { return 0; }
};
