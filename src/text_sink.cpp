#include "text_sink.hpp"

#include <cstdio>

void StdoutSink::write(std::string_view text) {
    while (!text.empty()) {
        if (used_ == buffer_.size()) {
            flush();
        }
        const std::size_t copied = text.copy(buffer_.data() + used_, buffer_.size() - used_);
        used_ += copied;
        text.remove_prefix(copied);
    }
}

void StdoutSink::flush() {
    std::fwrite(buffer_.data(), 1, used_, stdout);
    used_ = 0;
    std::fflush(stdout);
}
