// The end of a request is its closing tag, wherever the bytes were split; the byte bound holds.
#include "tools/selector-standin/request_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kRequest = "<ov_request><url>url</url></ov_request>";

RequestReader::State Feed(RequestReader& reader, const std::string& bytes, std::size_t piece) {
    RequestReader::State state = reader.Current();
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        state = reader.Append(bytes.data() + at, std::min(piece, bytes.size() - at));
    return state;
}

TEST(RequestReader, CompletesAtTheClosingTagHoweverTheBytesAreSplit) {
    ASSERT_EQ(39u, kRequest.size());
    for (std::size_t piece : {1u, 2u, 5u, 12u, 13u, 38u, 39u, 4096u}) {
        SCOPED_TRACE(piece);
        RequestReader reader(64);
        EXPECT_EQ(RequestReader::kComplete, Feed(reader, kRequest, piece));
        EXPECT_EQ(kRequest, reader.Request());
    }
}

TEST(RequestReader, WaitsForTheWholeTag) {
    RequestReader reader(1024);
    EXPECT_EQ(RequestReader::kIncomplete, Feed(reader, kRequest.substr(0, 38), 7));
    EXPECT_EQ(RequestReader::kIncomplete, reader.Append("", 0));
    EXPECT_EQ(RequestReader::kIncomplete, Feed(reader, "<ov_request/></ov_requesT>", 3));
}

TEST(RequestReader, IgnoresBytesAfterTheTagAndKeepsItsState) {
    RequestReader reader(1024);
    EXPECT_EQ(RequestReader::kComplete, Feed(reader, kRequest + "<extra/>", 1024));
    EXPECT_EQ(kRequest, reader.Request());
    EXPECT_EQ(RequestReader::kComplete, reader.Append("more", 4));
    EXPECT_EQ(kRequest, reader.Request());
}

TEST(RequestReader, RefusesRequestsBeyondTheBound) {
    const std::string padded = std::string(61, ' ') + kRequest;  // tag ends at byte 100
    RequestReader exact(100);
    EXPECT_EQ(RequestReader::kComplete, Feed(exact, padded, 9));
    RequestReader shorter(99);
    EXPECT_EQ(RequestReader::kTooLong, Feed(shorter, padded, 9));
    EXPECT_EQ(RequestReader::kTooLong, shorter.Append(kRequest.data(), kRequest.size()));

    RequestReader endless(1000);
    EXPECT_EQ(RequestReader::kTooLong, Feed(endless, std::string(1000, 'x'), 100));
}

}  // namespace
