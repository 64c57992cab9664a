// The heads of a connection's requests read as their bytes arrive, in any pieces: what the guard
// judges before the HTTP server reads a byte of a body, and what it refuses because the server
// could read it otherwise.

#include "control/request_head.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor {
namespace {

struct Outcome {
    int status = 0;  // 0: a head
    RequestHead head;
    qint64 rest = 0;  // bytes after the head
};

// Feeds the pieces one after another until a head or a refusal.
Outcome Feed(const std::vector<QByteArray>& pieces)
{
    RequestFraming framing;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const auto taken = framing.TakeHead(pieces[i]);
        if (taken.refusal)
            return {taken.refusal->status, {}, 0};
        if (taken.head) {
            qint64 rest = pieces[i].size() - taken.used;
            for (size_t j = i + 1; j < pieces.size(); ++j)
                rest += pieces[j].size();
            return {0, *taken.head, rest};
        }
        EXPECT_EQ(taken.used, pieces[i].size()) << "a head not yet whole takes every byte";
    }
    return {-1, {}, 0};
}

// Every way to cut `bytes` in two.
std::vector<std::vector<QByteArray>> Cuts(const QByteArray& bytes)
{
    std::vector<std::vector<QByteArray>> cuts;
    for (qsizetype at = 1; at < bytes.size(); ++at)
        cuts.push_back({bytes.left(at), bytes.mid(at)});
    return cuts;
}

TEST(RequestFramingTest, AHeadIsReadWholeWhereverItsBytesAreCut)
{
    const QByteArray head = "PUT /api/files/bug.png?x=1 HTTP/1.1\r\nHost: studio\r\n"
                            "authorization:  Bearer studio-secret \r\nContent-Length: 5\r\n\r\n";
    for (const auto& pieces : Cuts(head + "hello")) {
        const Outcome outcome = Feed(pieces);
        ASSERT_EQ(outcome.status, 0) << pieces[0].size();
        EXPECT_EQ(outcome.head.method, "PUT");
        EXPECT_EQ(outcome.head.path, "/api/files/bug.png");
        EXPECT_EQ(outcome.head.authorization, "Bearer studio-secret");
        EXPECT_EQ(outcome.head.body_bytes, 5);
        EXPECT_TRUE(outcome.head.upload());
        EXPECT_EQ(outcome.rest, 5) << "the body is left to the server, cut at " << pieces[0].size();
    }
}

TEST(RequestFramingTest, HeadsTheServerCouldReadOtherwiseAreRefused)
{
    const QByteArray get = "GET /api/state HTTP/1.1\r\n";
    const struct {
        const char* what;
        QByteArray bytes;
        int status;
    } cases[] = {
        {"a bare line feed", "GET /api/state HTTP/1.1\nHost: a\r\n\r\n", 400},
        {"a carriage return alone", get + "Host: a\rb\r\n\r\n", 400},
        {"a folded header", get + "Host: a\r\n Authorization: Bearer x\r\n\r\n", 400},
        {"a space before the colon", get + "Content-Length : 5\r\n\r\n", 400},
        {"two lengths", get + "Content-Length: 5\r\nContent-Length: 5\r\n\r\n", 400},
        {"a signed length", get + "Content-Length: +5\r\n\r\n", 400},
        {"a list of lengths", get + "Content-Length: 5, 5\r\n\r\n", 400},
        {"a length too long to count", get + "Content-Length: 1234567890123456\r\n\r\n", 400},
        {"a chunked body", get + "Transfer-Encoding: chunked\r\n\r\n", 411},
        {"two tokens", get + "Authorization: Bearer a\r\nAuthorization: Bearer b\r\n\r\n", 400},
        {"a NUL", get + QByteArray("Host: a\0b\r\n\r\n", 13), 400},
        {"no version", "GET /api/state\r\n\r\n", 400},
        {"HTTP/2", "GET /api/state HTTP/2\r\n\r\n", 400},
        {"an absolute target", "GET http://studio/api/state HTTP/1.1\r\n\r\n", 400},
        {"two spaces", "GET  /api/state HTTP/1.1\r\n\r\n", 400},
        {"an empty line first", "\r\n" + get + "\r\n", 400},
        {"headers of 16 KB", get + "X: " + QByteArray(16 * 1024, 'a') + "\r\n\r\n", 431},
        {"16 KB without an end", get + "X: " + QByteArray(16 * 1024, 'a'), 431},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Feed({c.bytes}).status, c.status);
    }
    EXPECT_EQ(Feed({get + "X: " + QByteArray(16 * 1024 - 40, 'a') + "\r\n\r\n"}).status, 0) << "just under 16 KB";
}

TEST(RequestFramingTest, ABodyIsCountedAndThePipelinedHeadAfterItRead)
{
    RequestFraming framing;
    const QByteArray bytes = "POST /api/go HTTP/1.1\r\nContent-Length: 4\r\n\r\n{}  GET /metrics HTTP/1.1\r\n\r\n";
    auto taken = framing.TakeHead(bytes);
    ASSERT_TRUE(taken.head.has_value());
    EXPECT_FALSE(taken.head->upload()) << "only a PUT to the files folder is an upload";
    EXPECT_EQ(taken.head->body_limit(), kMaxRequestBody);
    EXPECT_EQ(framing.TakeBody(3), 3);
    EXPECT_EQ(framing.body_left(), 1);
    EXPECT_EQ(framing.TakeBody(bytes.size()), 1) << "no more than the body";
    taken = framing.TakeHead(bytes.mid(bytes.indexOf("GET")));
    ASSERT_TRUE(taken.head.has_value());
    EXPECT_EQ(taken.head->path, "/metrics");
    EXPECT_EQ(framing.body_left(), 0);
}

}  // namespace
}  // namespace vantor
