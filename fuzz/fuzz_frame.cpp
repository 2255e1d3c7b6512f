// Fuzz target: whatever a peer sends, cut into frames and read as every
// payload of the protocol. It must never crash, hang or allocate without
// bound; a malformed stream or payload is refused.

#include "comm/Protocol.h"

#include <cstddef>
#include <cstdint>

using namespace korvo::proto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the chunk size the stream arrives in, the second
    // a frame limit, so both the reader's waiting and its limit are tried.
    const qsizetype chunk = 1 + data[0] % 64;
    FrameReader reader(data[1] & 1 ? kMaxPayload : quint32(data[1]) * 16);
    const QByteArrayView stream(reinterpret_cast<const char *>(data) + 2, qsizetype(size) - 2);
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        reader.feed(stream.sliced(at, qMin(chunk, stream.size() - at)));
        Frame f;
        while (reader.next(f) == FrameReader::Status::Frame) {
            quint8 flags = 0;
            bool more = false;
            (void)ParseHello(f.payload);
            (void)ParseNamed(WriteDept, f.payload, &flags);
            (void)ParseNamed(WriteMg, f.payload, &flags);
            (void)ParseDelete(f.payload);
            (void)ParsePageRequest(f.payload);
            Reader r(f.payload);
            (void)ParsePluEntries(r, r.u16());
            if (const auto reply = ParseReply(f.payload)) {
                (void)ParseHelloReply(reply->body);
                (void)ParseReadReply(reply->body, more);
                (void)ParseListReply(reply->body, more);
                (void)ParseCount(reply->body);
            }
        }
    }
    return 0;
}
