#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "http/ResponseBodyBuffer.h"

namespace quenlark {
namespace {

// One read of the loop: `announced` bytes asked for, `arrived` of them delivered.
struct Read {
    std::string_view arrived;
    std::size_t announced;
};

// Feeds the reads as the request's body loop does and takes the body.
std::string Collect(ResponseBodyBuffer& buffer, std::initializer_list<Read> reads) {
    for (const Read& read : reads) {
        char* into = buffer.NextChunk(read.announced);
        std::memcpy(into, read.arrived.data(), read.arrived.size());
        buffer.Commit(read.arrived.size());
    }
    const OwnedByteSet body = buffer.TakeByteSet();
    return std::string(body.view());
}

TEST(ResponseBodyBuffer, WithoutAnAnnouncedLengthTheChunksAreJoinedInOrder) {
    ResponseBodyBuffer buffer;
    EXPECT_EQ(Collect(buffer, {{"abc", 3}, {"de", 4}, {"fgh", 3}}), "abcdefgh");  // a short read keeps its part
}

TEST(ResponseBodyBuffer, WithTheLengthAnnouncedTheChunksAreReadIntoTheBodyItself) {
    ResponseBodyBuffer buffer;
    buffer.ExpectSize(8);
    char* first = buffer.NextChunk(5);
    std::memcpy(first, "01234", 5);
    buffer.Commit(5);
    char* second = buffer.NextChunk(3);
    EXPECT_EQ(second, first + 5);  // straight after the first: no chunk of its own
    std::memcpy(second, "567", 3);
    buffer.Commit(3);
    EXPECT_EQ(buffer.size(), 8u);
    const OwnedByteSet body = buffer.TakeByteSet();
    EXPECT_EQ(body.view(), "01234567");
    EXPECT_EQ(reinterpret_cast<const char*>(body.data()), first);  // handed over, not copied
}

TEST(ResponseBodyBuffer, ABodyThatEndsEarlyKeepsWhatArrived) {
    ResponseBodyBuffer buffer;
    buffer.ExpectSize(100);
    EXPECT_EQ(Collect(buffer, {{"0123456789", 10}, {"abcdefg", 20}}), "0123456789abcdefg");
}

TEST(ResponseBodyBuffer, WhatRunsBeyondTheAnnouncedLengthFollowsInOrder) {
    ResponseBodyBuffer buffer;
    buffer.ExpectSize(8);
    // The second read does not fit after a short first one; the third would fit again but
    // must stay behind the second.
    EXPECT_EQ(Collect(buffer, {{"abc", 5}, {"defgh", 6}, {"ij", 2}}), "abcdefghij");
}

TEST(ResponseBodyBuffer, AFirstReadLargerThanTheAnnouncedLengthIsKept) {
    ResponseBodyBuffer buffer;
    buffer.ExpectSize(4);
    EXPECT_EQ(Collect(buffer, {{"abcdef", 6}, {"gh", 2}}), "abcdefgh");
}

TEST(ResponseBodyBuffer, NoBytesGiveNoByteSet) {
    ResponseBodyBuffer empty;
    EXPECT_EQ(empty.TakeByteSet().Get(), nullptr);

    ResponseBodyBuffer failedRead;  // a read that failed at once commits nothing
    failedRead.ExpectSize(64);
    (void)failedRead.NextChunk(16);
    failedRead.Commit(0);
    EXPECT_EQ(failedRead.TakeByteSet().Get(), nullptr);

    ResponseBodyBuffer lengthZero;
    lengthZero.ExpectSize(0);
    EXPECT_EQ(Collect(lengthZero, {{"xy", 2}}), "xy");  // the length is only a hint
}

// Reads of a body whose every byte tells its offset (in a cycle of 251, so that a byte out of
// place shows), as WinHTTP makes them: the whole buffer asked for may be written, `arrived`
// bytes of it are committed. Records the most the buffer had allocated after any read.
class PatternFeed {
public:
    explicit PatternFeed(ResponseBodyBuffer& buffer) : buffer_(buffer) {}
    void Read(std::size_t announced, std::size_t arrived) {
        char* into = buffer_.NextChunk(announced);
        std::memset(into, 0x5A, announced);  // a buffer shorter than asked for shows as an overflow
        for (std::size_t i = 0; i < arrived; ++i) into[i] = static_cast<char>((sent_.size() + i) % 251);
        sent_.append(into, arrived);
        buffer_.Commit(arrived);
        peak_ = std::max(peak_, buffer_.AllocatedBytes());
    }
    [[nodiscard]] const std::string& sent() const { return sent_; }
    [[nodiscard]] std::size_t peak() const { return peak_; }

private:
    ResponseBodyBuffer& buffer_;
    std::string sent_;
    std::size_t peak_ = 0;
};

// Whatever the sizes of the reads, the body comes out whole and in order, and collecting it
// never holds much more than the body (or the announced length, which is allocated at once):
// at most one block of spare room. One block per read, or blocks left half empty, would not
// fit under that bound.
TEST(ResponseBodyBuffer, AnySequenceOfReadsKeepsTheBodyInMemoryCloseToItsSize) {
    constexpr std::size_t kSpareRoom = 64 * 1024 + 1024;  // one block, and the list of blocks
    struct Reads {
        int times;
        std::size_t announced;  // asked for
        std::size_t arrived;    // committed
    };
    struct Case {
        const char* name;
        std::uint64_t length;  // announced by the response; 0: none
        std::vector<Reads> reads;
    };
    const Case cases[] = {
        {"one byte at a time", 0, {{300000, 1, 1}}},
        {"each read just misses the room left", 0, {{20, 32769, 32769}}},
        {"short reads of large buffers", 0, {{2000, 8192, 1}, {50, 8192, 5000}, {2000, 8192, 7}}},
        {"mixed sizes, with reads larger than a block and an empty one",
         0,
         {{1, 100000, 100000},
          {5000, 3, 2},
          {1, 70000, 69999},
          {1, 16, 0},
          {1, 65536, 65536},
          {5000, 1, 1},
          {1, 200000, 150000},
          {3, 5, 5}}},
        {"a byte at a time beyond the announced length", 10, {{200000, 1, 1}}},
        {"a byte at a time short of the announced length", 1 << 20, {{1000, 1, 1}}},
        {"the announced length in single bytes, then more", 100000, {{100000, 1, 1}, {100, 300, 300}}},
    };
    for (const Case& c : cases) {
        ResponseBodyBuffer buffer;
        if (c.length) buffer.ExpectSize(c.length);
        PatternFeed feed(buffer);
        for (const Reads& r : c.reads) {
            for (int i = 0; i < r.times; ++i) feed.Read(r.announced, r.arrived);
        }
        const std::size_t body = feed.sent().size();
        EXPECT_EQ(buffer.size(), body) << c.name;
        EXPECT_LE(feed.peak(), std::max<std::size_t>(body, c.length) + kSpareRoom) << c.name;
        const OwnedByteSet taken = buffer.TakeByteSet();
        EXPECT_TRUE(taken.view() == feed.sent()) << c.name;  // not EXPECT_EQ: no megabytes in the log
        EXPECT_EQ(buffer.AllocatedBytes(), 0u) << c.name;
    }
}

TEST(ResponseBodyBuffer, ALengthNoByteSetCanCountIsIgnored) {
    ResponseBodyBuffer buffer;
    buffer.ExpectSize(std::uint64_t{1} << 40);
    EXPECT_EQ(Collect(buffer, {{"abc", 3}, {"def", 3}}), "abcdef");
}

}  // namespace
}  // namespace quenlark
