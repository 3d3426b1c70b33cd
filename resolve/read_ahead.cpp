#include "resolve/read_ahead.h"

#include <cstdlib>
#include <thread>

namespace rubo {

namespace {

constexpr std::int32_t most_workers = 8;
std::int32_t chosen_workers = -1;

std::int32_t default_workers() {
    if (const char* setting = std::getenv("RUBO_THREADS")) {
        const long threads = std::strtol(setting, nullptr, 10);
        if (threads >= 1) return static_cast<std::int32_t>(threads > most_workers ? most_workers : threads - 1);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<std::int32_t>(cores > most_workers ? most_workers : cores);
}

}  // namespace

std::int32_t read_ahead_workers() { return chosen_workers >= 0 ? chosen_workers : default_workers(); }

void set_read_ahead_workers(std::int32_t count) { chosen_workers = count; }

}  // namespace rubo
