// Chunked answers: decoded from the server's chunks and re-encoded in the proxy's own.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/chunk_decoder.h"
#include "engine/server_control.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

long long ParseChunkSize(std::string_view line) {
    auto separator = [](char c) { return c == ' ' || c == '[' || c == '\r' || c == '\n'; };
    std::size_t i = 0;
    while (i < line.size() && separator(line[i])) ++i;
    long long size = 0;
    int digits = 0;
    for (; i < line.size(); ++i, ++digits) {
        char c = line[i];
        int value = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (value < 0) break;
        if (size > (0x7fffffffffffffffLL >> 4)) return -1;
        size = size * 16 + value;
    }
    if (digits == 0) return -1;
    // What may follow the number inside its token: nothing, or a chunk extension.
    if (i < line.size() && !separator(line[i]) && line[i] != ';' && line[i] != '\t') return -1;
    return size;
}

RelayResult SendAsChunks(Runtime& rt, Socket& client, const char* data, long length,
                         std::string_view line_end, ErrorText& error) {
    char chunk[kRelayPiece + 32];
    while (length > 0) {
        long piece = std::min(length, kRelayPiece);
        int head = std::snprintf(chunk, 24, "%lx", piece);
        std::memcpy(chunk + head, line_end.data(), line_end.size());
        head += static_cast<int>(line_end.size());
        std::memcpy(chunk + head, data, static_cast<std::size_t>(piece));
        std::memcpy(chunk + head + piece, line_end.data(), line_end.size());
        IoEnd sent = SendAll(rt, client, chunk, head + piece + static_cast<long>(line_end.size()));
        if (sent == IoEnd::kNotSocket) return RelayResult::kRevoked;
        if (sent != IoEnd::kDone) {
            SetErrorText(rt, error, "%s\n", text::kClientSendError);
            return RelayResult::kFailed;
        }
        data += piece;
        length -= piece;
    }
    return RelayResult::kComplete;
}

namespace {

class Decoder {
  public:
    Decoder(ChunkDecoderInput& in, ChunkSink& sink)
        : in_(in),
          sink_(sink),
          line_end_(in.terminator.view().substr(in.terminator.size() / 2)),
          length_(in.buffered) {}

    RelayResult Run() {
        for (;;) {
            // The server left inside a chunk: what came went on, but the body is cut short.
            if (end_ != ReceiveEnd::kWhole) return RelayResult::kClosedInPiece;
            long long size = 0;
            RelayResult read = ReadSizeLine(size);
            if (read != RelayResult::kComplete) return read;
            if (size == 0) return FinishBody();
            RelayResult forwarded = ForwardChunk(size);
            if (forwarded != RelayResult::kComplete) return forwarded;
        }
    }

  private:
    RelayResult Fail(const char* format, const char* reason) {
        SetErrorText(in_.rt, in_.error, format, reason);
        return RelayResult::kFailed;
    }

    void Drop(long count) {
        std::memmove(in_.buffer, in_.buffer + count, static_cast<std::size_t>(length_ - count));
        length_ -= count;
    }

    bool IsLineEndChar(long at) const { return in_.buffer[at] == '\r' || in_.buffer[at] == '\n'; }

    // Reads until the buffer holds a whole size line; cuts it and gives its size.
    RelayResult ReadSizeLine(long long& size) {
        long dropped = 0;
        for (;;) {
            // The line end after the previous chunk's data.
            while (length_ > 0 && dropped < static_cast<long>(line_end_.size()) &&
                   IsLineEndChar(0)) {
                Drop(1);
                ++dropped;
            }
            if (in_.line_end_run_limit > 0) {
                long run = 0;
                while (run < length_ && IsLineEndChar(run)) ++run;
                if (run + dropped >= in_.line_end_run_limit) return Fail("%s\n", text::kChunkError);
            }
            std::string_view held(in_.buffer, static_cast<std::size_t>(length_));
            std::size_t end = held.find(line_end_);
            if (end != std::string_view::npos) {
                size = ParseChunkSize(held.substr(0, end));
                if (size < 0) return Fail("%s\n", text::kChunkedError);
                Drop(static_cast<long>(end + line_end_.size()));
                return RelayResult::kComplete;
            }
            if (length_ > static_cast<long>(kMaxChunkSizeLine)) {
                return Fail("%s\n", text::kChunkedError);
            }
            long got = ReceiveSome(in_.upstream, in_.buffer + length_, 1, end_, in_.wait);
            if (end_ == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
            if (WasCut(end_)) return FailCutRelay(in_.rt, end_, in_.error);
            if (got == 0) return Fail("%s\n", text::kServerReceiveError);
            Count(got);
            length_ += got;
        }
    }

    // Hands on `size` bytes of chunk data: first what is buffered, then pieces received.
    RelayResult ForwardChunk(long long size) {
        long buffered = static_cast<long>(std::min<long long>(length_, size));
        if (buffered > 0) {
            RelayResult sent = sink_.Piece(in_.buffer, buffered);
            if (sent != RelayResult::kComplete) return sent;
            Drop(buffered);
            size -= buffered;
        }
        while (size > 0) {
            long want = static_cast<long>(std::min<long long>(kRelayPiece, size));
            long got = ReceiveSome(in_.upstream, in_.buffer, want, end_, in_.wait);
            if (end_ == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
            if (WasCut(end_)) return FailCutRelay(in_.rt, end_, in_.error);
            if (got == 0) return Fail("%s\n", text::kServerReceiveError);
            Count(got);
            RelayResult sent = sink_.Piece(in_.buffer, got);
            if (sent != RelayResult::kComplete) return sent;
            size -= got;
            if (end_ != ReceiveEnd::kWhole) return RelayResult::kComplete;
        }
        return RelayResult::kComplete;
    }

    RelayResult FinishBody() {
        if (!in_.from_server) {
            RelayResult skipped = SkipTrailerSection();
            if (skipped != RelayResult::kComplete) return skipped;
        }
        RelayResult finished = sink_.Finish();
        if (finished != RelayResult::kComplete) return finished;
        char last[16];
        int n = std::snprintf(last, sizeof last, "0%s", in_.terminator.c_str());
        IoEnd sent = SendAll(in_.rt, in_.client, last, n);
        if (sent == IoEnd::kNotSocket) return RelayResult::kRevoked;
        if (sent != IoEnd::kDone) return Fail("%s\n", text::kClientSendError);
        return RelayResult::kComplete;
    }

    // A request body goes on after its last chunk with the trailer section, up to an
    // empty line. It is read (one byte at a time, so that nothing of a next request is
    // taken) and dropped: left unread, it would be taken for the start of the next request
    // on the connection. A client that leaves here has sent its whole body.
    RelayResult SkipTrailerSection() {
        bool inside_line = false;
        for (;;) {
            std::string_view held(in_.buffer, static_cast<std::size_t>(length_));
            std::size_t end = held.find(line_end_);
            if (end != std::string_view::npos) {
                Drop(static_cast<long>(end + line_end_.size()));
                if (end == 0 && !inside_line) return RelayResult::kComplete;
                inside_line = false;
                continue;
            }
            // A long trailer line is dropped as it comes, but for the bytes that may begin
            // its line end.
            long keep = static_cast<long>(line_end_.size()) - 1;
            if (length_ > static_cast<long>(kMaxChunkSizeLine)) {
                Drop(length_ - keep);
                inside_line = true;
            }
            long got = ReceiveSome(in_.upstream, in_.buffer + length_, 1, end_, in_.wait);
            if (end_ == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
            if (WasCut(end_)) return FailCutRelay(in_.rt, end_, in_.error);
            if (got == 0) return RelayResult::kComplete;
            Count(got);
            length_ += got;
        }
    }

    void Count(long got) {
        if (in_.from_server) {
            AddBytesReceived(in_.rt, got);
        } else {
            AddBytesSent(in_.rt, got);
        }
    }

    ChunkDecoderInput& in_;
    ChunkSink& sink_;
    std::string_view line_end_;
    long length_;
    ReceiveEnd end_ = ReceiveEnd::kWhole;
};

class PlainSink : public ChunkSink {
  public:
    PlainSink(ChunkDecoderInput& in, std::string_view line_end) : in_(in), line_end_(line_end) {}
    RelayResult Piece(char* data, long length) override {
        return SendAsChunks(in_.rt, in_.client, data, length, line_end_, in_.error);
    }
    RelayResult Finish() override { return RelayResult::kComplete; }

  private:
    ChunkDecoderInput& in_;
    std::string_view line_end_;
};

}  // namespace

RelayResult DecodeChunks(ChunkDecoderInput& in, ChunkSink& sink) {
    return Decoder(in, sink).Run();
}

RelayResult RelayChunked(Runtime& rt, Socket& upstream, Socket& client, char* buffer,
                         long head_body_count, const Terminator& terminator, ErrorText& error) {
    ChunkDecoderInput in{rt, upstream, client, buffer, head_body_count, terminator, error};
    in.wait = AnswerRelayWait(rt, client);
    PlainSink sink(in, terminator.view().substr(terminator.size() / 2));
    return DecodeChunks(in, sink);
}

RelayResult RelayChunkedRequestBody(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                                    long head_body_count, const Terminator& terminator,
                                    ErrorText& error) {
    ChunkDecoderInput in{rt, client, upstream, buffer, head_body_count, terminator, error};
    in.from_server = false;
    in.wait = BodyRelayWait(rt);
    PlainSink sink(in, LineEndOf(terminator));
    return DecodeChunks(in, sink);
}

}  // namespace korvanel
