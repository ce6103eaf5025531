#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

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
    EXPECT_EQ(empty.TakeByteSet().get(), nullptr);

    ResponseBodyBuffer failedRead;  // a read that failed at once commits nothing
    failedRead.ExpectSize(64);
    (void)failedRead.NextChunk(16);
    failedRead.Commit(0);
    EXPECT_EQ(failedRead.TakeByteSet().get(), nullptr);

    ResponseBodyBuffer lengthZero;
    lengthZero.ExpectSize(0);
    EXPECT_EQ(Collect(lengthZero, {{"xy", 2}}), "xy");  // the length is only a hint
}

TEST(ResponseBodyBuffer, ALengthNoByteSetCanCountIsIgnored) {
    ResponseBodyBuffer buffer;
    buffer.ExpectSize(std::uint64_t{1} << 40);
    EXPECT_EQ(Collect(buffer, {{"abc", 3}, {"def", 3}}), "abcdef");
}

}  // namespace
}  // namespace quenlark
