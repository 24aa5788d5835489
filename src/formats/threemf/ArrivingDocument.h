// A document that one thread unpacks while another reads it: the bytes from `begin()`
// arrive in order and, once told, never change. The producer may give up (abandon) at any
// point; the reader then stops and what it read counts for nothing. One producer, one reader.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace trimeo::threemf {

class ArrivingDocument {
public:
    // Producer. `begin` must stay valid, and the bytes told unchanged, until the reader is done.
    void start(const std::uint8_t* begin);
    void publish(std::size_t arrived); // the first `arrived` bytes are there
    void finish(std::size_t size);     // and that is all of them
    void abandon();                    // void from now on, even after finish()
    void close();                      // no more will come: abandons what did not finish

    // Reader: blocks until more than `seen` bytes are there, or the document is finished
    // or abandoned.
    struct State {
        const std::uint8_t* begin;
        std::size_t arrived;
        bool finished, abandoned;
    };
    State waitBeyond(std::size_t seen) const;

    // Finished and never abandoned: what arrived is the whole document.
    bool finishedWhole() const;

private:
    static constexpr std::uint64_t kFinished = 1, kAbandoned = 2;
    void store(std::uint64_t state);

    const std::uint8_t* begin_ = nullptr; // written before the first store
    std::uint64_t producerState_ = 0;      // the producer's copy of state_
    std::atomic<std::uint64_t> state_{0};  // arrived << 2 | flags
};

} // namespace trimeo::threemf
