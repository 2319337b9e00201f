#include "checker/check_answer.h"

#include <cstdio>
#include <string>

#include "checker/check_answer_storage.h"
#include "engine/head_split.h"
#include "engine/header_predicates.h"

namespace korvanel {

int ParseCheckStatusLine(std::string_view line) {
    std::string text(line);
    char version[12] = "";
    char code[5] = "";
    char reason[129] = "";
    if (std::sscanf(text.c_str(), "%11s %4s %128[^\r\n]", version, code, reason) < 3) {
        return kStatusMalformed;
    }
    if (!std::string_view(version).starts_with("HTTP/1.")) return kStatusMalformed;
    if (code[0] != '2') return kStatusNotSuccess;
    return kStatusOk;
}

int SplitCheckAnswer(const CheckHead& head, CheckAnswerStorage& storage, CheckAnswer& answer) {
    std::string_view data(head.data, static_cast<std::size_t>(head.length));
    if (!SplitHead(data, head.terminator, storage.status_line, storage.header_block)) {
        return -1;
    }
    if (!SplitBody(head.terminator, storage.header_block, storage.head_body)) return -1;
    answer.status_line = storage.status_line.view();
    answer.header_block = storage.header_block.view();
    answer.head_body = storage.head_body.view();
    answer.content_length = static_cast<long>(ContentLength(answer.header_block, head.terminator));
    answer.is_html = IsHtml(answer.header_block, head.terminator);
    answer.is_chunked = IsChunked(answer.header_block, head.terminator);
    return 1;
}

}  // namespace korvanel
