// fuzz_stream_reader.cpp -- any byte stream, cut into reads of any sizes, through the packet
// stream reader: straight from memory and through a real socket. Both must give exactly the
// packets that a plain reading of the whole stream finds, with every record well formed.
//
// Input: byte 0 = k (mod 17), then k read sizes (each byte + 1, used in turn; k = 0 reads
// the whole stream at once), then the stream itself.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "common/packet.h"
#include "common/packet_queue.h"
#include "common/stream_reader.h"
#include "fuzz/fuzz_support.h"
#include "platform/tcp_socket.h"

namespace kestrane::fuzz {
namespace {

struct Input {
    std::vector<std::size_t> readSizes;
    std::span<const std::uint8_t> stream;
};

Input splitInput(std::span<const std::uint8_t> data) {
    Input input;
    if (data.empty()) {
        return input;
    }
    const std::size_t count = std::min<std::size_t>(data[0] % 17, data.size() - 1);
    for (std::size_t i = 0; i < count; ++i) {
        input.readSizes.push_back(std::size_t{data[1 + i]} + 1);
    }
    input.stream = data.subspan(1 + count);
    return input;
}

// The packets of a whole stream read in one go, written as plainly as possible: skip bytes
// until a marker, take the header, take `length` bytes, keep the first 51.
struct Expected {
    std::vector<PacketRecord> packets;
    bool midPacket = false;  // the stream ends inside a packet
};

Expected readWhole(std::span<const std::uint8_t> stream) {
    Expected expected;
    std::size_t at = 0;
    while (at < stream.size()) {
        if (stream[at] != kPacketMarker) {
            ++at;
            continue;
        }
        if (stream.size() - at < kHeaderSize || stream.size() - at - kHeaderSize < stream[at + 3]) {
            expected.midPacket = true;
            break;
        }
        PacketRecord record;
        record.header = {kPacketMarker, stream[at + 1], stream[at + 2], stream[at + 3]};
        const std::size_t kept = std::min<std::size_t>(record.header.length, kPayloadCapacity);
        record.header.length = static_cast<std::uint8_t>(kept);
        std::memcpy(record.payload.data(), stream.data() + at + kHeaderSize, kept);
        expected.packets.push_back(record);
        at += kHeaderSize + stream[at + 3];
    }
    return expected;
}

void checkRecord(const PacketRecord& record) {
    FUZZ_CHECK(record.header.marker == kPacketMarker, "a queued record starts with the marker");
    FUZZ_CHECK(record.header.length <= kPayloadCapacity, "a queued record's length fits its payload area");
    for (std::size_t i = record.header.length; i < kPayloadCapacity; ++i) {
        FUZZ_CHECK(record.payload[i] == 0, "payload bytes beyond the length are zero");
    }
}

void checkSame(PacketQueue& queue, const Expected& expected, const char* path) {
    FUZZ_CHECK(queue.size() == expected.packets.size(), path);
    for (const PacketRecord& want : expected.packets) {
        const std::optional<PacketRecord> got = queue.takeFront();
        FUZZ_CHECK(got.has_value(), path);
        checkRecord(*got);
        FUZZ_CHECK(std::memcmp(&*got, &want, sizeof want) == 0, path);
    }
}

// Cuts `stream` into the input's read sizes and hands each piece to `read`.
template <typename Read>
void inPieces(const Input& input, Read&& read) {
    std::span<const std::uint8_t> rest = input.stream;
    for (std::size_t piece = 0; !rest.empty(); ++piece) {
        const std::size_t size =
            input.readSizes.empty() ? rest.size() : std::min(rest.size(), input.readSizes[piece % input.readSizes.size()]);
        read(rest.first(size));
        rest = rest.subspan(size);
    }
}

void fromMemory(const Input& input, const Expected& expected) {
    PacketStreamReader reader;
    PacketQueue queue;
    inPieces(input, [&](std::span<const std::uint8_t> piece) {
        // readPacket's contract, one step at a time: it always moves on, never past the end.
        while (!piece.empty()) {
            const std::size_t consumed = reader.readPacket(piece, queue);
            FUZZ_CHECK(consumed >= 1 && consumed <= piece.size(), "readPacket consumes 1..size bytes");
            piece = piece.subspan(consumed);
        }
    });
    FUZZ_CHECK(reader.midPacket() == expected.midPacket, "the reader knows a packet is under way");
    FUZZ_CHECK(reader.packetsCompleted() == expected.packets.size(), "every completed packet is counted");
    checkSame(queue, expected, "the packets read from memory are those of the whole stream");
}

constexpr std::size_t kMaxWrite = 32 * 1024;

void throughSocket(const Input& input, const Expected& expected) {
    std::optional<std::array<TcpSocket, 2>> ends = TcpSocket::pair();
    FUZZ_CHECK(ends.has_value(), "a socket pair can be made");
    TcpSocket& writer = (*ends)[0];
    TcpSocket& readerSocket = (*ends)[1];
    PacketStreamReader reader;
    PacketQueue queue;
    std::size_t packets = 0;
    inPieces(input, [&](std::span<const std::uint8_t> piece) {
        // Bounded writes, so a long piece never waits on a full socket buffer.
        for (std::size_t at = 0; at < piece.size(); at += kMaxWrite) {
            FUZZ_CHECK(writer.sendAll(piece.subspan(at, std::min(kMaxWrite, piece.size() - at))),
                       "the writer end takes every piece");
            const ReadResult result = readAvailablePackets(readerSocket, reader, queue);
            FUZZ_CHECK(result.status == StreamStatus::Open, "an open connection reads as open");
            packets += result.packets;
        }
    });
    writer.close();
    const ReadResult last = readAvailablePackets(readerSocket, reader, queue);
    FUZZ_CHECK(last.packets == 0, "nothing is left to read once every piece was read");
    FUZZ_CHECK(last.status == StreamStatus::Closed, "a closed peer reads as closed");
    FUZZ_CHECK(packets == expected.packets.size(), "read results count the packets queued");
    checkSame(queue, expected, "the packets read from a socket are those of the whole stream");
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane::fuzz;
    const Input input = splitInput({data, size});
    const Expected expected = readWhole(input.stream);
    fromMemory(input, expected);
    throughSocket(input, expected);
    return 0;
}
