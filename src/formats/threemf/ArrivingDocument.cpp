#include "ArrivingDocument.h"

namespace trimeo::threemf {

void ArrivingDocument::start(const std::uint8_t* begin) { begin_ = begin; }

void ArrivingDocument::store(std::uint64_t state) {
    if (producerState_ & kAbandoned) return;
    producerState_ = state;
    state_.store(state, std::memory_order_release);
    state_.notify_all();
}

void ArrivingDocument::publish(std::size_t arrived) {
    if (!(producerState_ & kFinished)) store(std::uint64_t(arrived) << 2);
}

void ArrivingDocument::finish(std::size_t size) { store(std::uint64_t(size) << 2 | kFinished); }

void ArrivingDocument::abandon() { store(producerState_ | kAbandoned); }

void ArrivingDocument::close() {
    if (!(producerState_ & kFinished)) abandon();
}

ArrivingDocument::State ArrivingDocument::waitBeyond(std::size_t seen) const {
    for (;;) {
        const std::uint64_t state = state_.load(std::memory_order_acquire);
        const std::size_t arrived = std::size_t(state >> 2);
        if (arrived > seen || (state & (kFinished | kAbandoned)))
            return {begin_, arrived, bool(state & kFinished), bool(state & kAbandoned)};
        state_.wait(state, std::memory_order_acquire);
    }
}

bool ArrivingDocument::finishedWhole() const {
    return (state_.load(std::memory_order_acquire) & (kFinished | kAbandoned)) == kFinished;
}

} // namespace trimeo::threemf
