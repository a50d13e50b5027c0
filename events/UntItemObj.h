// One captured event as it travels from the capture backend to the views.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Where an event came from, where the backend knows it.
struct TEventOrigin {
    std::chrono::system_clock::time_point time{};
    int pid = 0; // 0: unknown
    std::string process;
};

class TItemObj {
public:
    TItemObj(std::string item1, std::string item2, std::int32_t eventNum, TEventOrigin origin = {})
        : item1_(std::move(item1)), item2_(std::move(item2)), eventNum_(eventNum), origin_(std::move(origin))
    {
    }

    const std::string& getItem1() const { return item1_; }
    const std::string& getItem2() const { return item2_; }
    std::int32_t getEventNum() const { return eventNum_; }
    const TEventOrigin& getOrigin() const { return origin_; }

private:
    std::string item1_;
    std::string item2_;
    std::int32_t eventNum_;
    TEventOrigin origin_;
};
