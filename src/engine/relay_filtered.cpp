// The relays of HTML answers whose tags the filter disables: the whole body at once, a
// body by length or until close, and a chunked body.
#include <algorithm>

#include "engine/chunk_decoder.h"
#include "engine/server_control.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

RelayResult SendText(Runtime& rt, Socket& client, const FilterOutput& output, ErrorText& error) {
    IoEnd sent = SendAll(rt, client, output.data(), static_cast<long>(output.size()));
    if (sent == IoEnd::kDone) return RelayResult::kComplete;
    if (sent == IoEnd::kNotSocket) return RelayResult::kRevoked;
    SetErrorText(rt, error, "%s\n", text::kClientSendError);
    return RelayResult::kFailed;
}

// Runs one piece through the filter and sends what it gives, then sends the carry when
// it can no longer be waiting for a tag end.
RelayResult FilterAndSend(Runtime& rt, Socket& client, std::string_view piece,
                          FilterBuffers& filter, ErrorText& error) {
    FilterStepEnd step = FilterStep(rt, piece, filter.output, filter.carry, error);
    if (step == FilterStepEnd::kFailed) return RelayResult::kFailed;
    if (step == FilterStepEnd::kSend) {
        RelayResult sent = SendText(rt, client, filter.output, error);
        if (sent != RelayResult::kComplete) return sent;
    }
    if (CarryWantsFlush(filter.carry) && FilterFlushCarry(rt, filter.carry, filter.output)) {
        return SendText(rt, client, filter.output, error);
    }
    return RelayResult::kComplete;
}

RelayResult FlushCarry(Runtime& rt, Socket& client, FilterBuffers& filter, ErrorText& error) {
    if (!FilterFlushCarry(rt, filter.carry, filter.output)) return RelayResult::kComplete;
    return SendText(rt, client, filter.output, error);
}

}  // namespace

RelayResult FilterWholeBody(Runtime& rt, Socket& client, std::string_view head_body,
                            FilterBuffers& filter, ErrorText& error) {
    if (head_body.empty()) return RelayResult::kComplete;
    if (FilterText(rt, head_body, filter.output) != 1) {
        SetErrorText(rt, error, "%s\n", text::kTagFilterError);
        return RelayResult::kFailed;
    }
    return SendText(rt, client, filter.output, error) == RelayResult::kComplete
               ? RelayResult::kComplete
               : RelayResult::kFailed;
}

RelayResult RelayFiltered(Runtime& rt, Socket& client, Socket& upstream, char* buffer,
                          long head_body_count, long long& remaining, FilterBuffers& filter,
                          ErrorText& error) {
    filter.carry.assign(std::string_view(buffer, static_cast<std::size_t>(head_body_count)));
    ReceiveEnd end = ReceiveEnd::kWhole;
    for (;;) {
        long want =
            remaining >= 0 && remaining < kRelayPiece ? static_cast<long>(remaining) : kRelayPiece;
        long got = ReceiveSome(upstream, buffer, want, end, AnswerRelayWait(rt, client));
        if (end == ReceiveEnd::kNotSocket) return RelayResult::kRevoked;
        if (WasCut(end)) {
            if (FlushCarry(rt, client, filter, error) == RelayResult::kRevoked) {
                return RelayResult::kRevoked;
            }
            return FailCutRelay(rt, end, error);
        }
        if (got == 0) {
            RelayResult flushed = FlushCarry(rt, client, filter, error);
            return flushed == RelayResult::kRevoked ? RelayResult::kRevoked : RelayResult::kFailed;
        }
        AddBytesReceived(rt, got);
        RelayResult sent = FilterAndSend(
            rt, client, std::string_view(buffer, static_cast<std::size_t>(got)), filter, error);
        if (sent != RelayResult::kComplete) return sent;
        if (remaining >= 0) {
            remaining -= got;
            if (remaining <= 0) return FlushCarry(rt, client, filter, error);
        }
        if (end != ReceiveEnd::kWhole) {
            RelayResult flushed = FlushCarry(rt, client, filter, error);
            return flushed == RelayResult::kComplete ? RelayResult::kClosedInPiece : flushed;
        }
    }
}

namespace {

class FilterSink : public ChunkSink {
  public:
    FilterSink(ChunkDecoderInput& in, FilterBuffers& filter)
        : in_(in), filter_(filter), line_end_(LineEndOf(in.terminator)) {}

    RelayResult Piece(char* data, long length) override {
        std::string_view piece(data, static_cast<std::size_t>(length));
        FilterStepEnd step = FilterStep(in_.rt, piece, filter_.output, filter_.carry, in_.error);
        if (step == FilterStepEnd::kFailed) return RelayResult::kFailed;
        if (step == FilterStepEnd::kSend) {
            RelayResult sent = SendOutput();
            if (sent != RelayResult::kComplete) return sent;
        }
        if (CarryWantsFlush(filter_.carry)) return Finish();
        return RelayResult::kComplete;
    }

    // Sends what the carry still holds.
    RelayResult Finish() override {
        if (!FilterFlushCarry(in_.rt, filter_.carry, filter_.output)) {
            return RelayResult::kComplete;
        }
        return SendOutput();
    }

  private:
    RelayResult SendOutput() {
        return SendAsChunks(in_.rt, in_.client, filter_.output.data(),
                            static_cast<long>(filter_.output.size()), line_end_, in_.error);
    }

    ChunkDecoderInput& in_;
    FilterBuffers& filter_;
    std::string_view line_end_;
};

// Ten line-end characters in a row where a size line belongs end a filtered chunked body.
constexpr int kLineEndRunLimit = 10;

}  // namespace

RelayResult RelayChunkedFiltered(Runtime& rt, Socket& upstream, Socket& client, char* buffer,
                                 long head_body_count, const Terminator& terminator,
                                 FilterBuffers& filter, ErrorText& error) {
    filter.carry.clear();
    ChunkDecoderInput in{rt,         upstream, client,          buffer, head_body_count,
                         terminator, error,    kLineEndRunLimit};
    in.wait = AnswerRelayWait(rt, client);
    FilterSink sink(in, filter);
    RelayResult result = DecodeChunks(in, sink);
    // A body cut short still delivers the text held back for a tag.
    if (result == RelayResult::kClosedInPiece) sink.Finish();
    return result;
}

}  // namespace korvanel
