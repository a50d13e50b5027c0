#include "capture/UntShellNotifierObj_win.h"

#include "util/UntWide.h"

TShellNotifierObj::TShellNotifierObj(std::string path, bool sub) : path_(std::move(path)), sub_(sub)
{
    if (FAILED(SHGetMalloc(&malloc_))) {
        malloc_ = nullptr;
        statusAlloc_ = false;
    }
    const std::wstring widePath = toWide(path_);
    if (FAILED(SHParseDisplayName(widePath.c_str(), nullptr, &pidl_, 0, &attr_)) || pidl_ == nullptr) {
        pidl_ = nullptr;
        statusParse_ = false;
        return;
    }
    notifier_.pidl = pidl_;
    notifier_.fRecursive = sub_ ? static_cast<WINBOOL>(~0u) : 0;
}

TShellNotifierObj::~TShellNotifierObj()
{
    if (statusParse_ && notifierHandle_ != 0)
        SHChangeNotifyDeregister(notifierHandle_);
    if (statusAlloc_ && statusParse_)
        malloc_->Free(pidl_);
    else if (statusParse_)
        CoTaskMemFree(pidl_); // the shell allocates item-ID lists with the task allocator

    if (malloc_)
        malloc_->Release();
}

void TShellNotifierObj::setEventsMon(bool value, std::uint16_t eventNum)
{
    if (eventNum < kEventCount)
        eventsMon_[eventNum] = value;
}

void TShellNotifierObj::setAllEvents(bool value)
{
    eventsMon_.fill(value);
}

std::uint32_t TShellNotifierObj::getEventsMon() const
{
    std::uint32_t mask = 0;
    for (int k = 0; k < kEventCount; ++k)
        if (eventsMon_[k])
            mask |= kEventFlags[k];
    return mask;
}
