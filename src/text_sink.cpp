#include "text_sink.hpp"

#include <cstdio>

void StdoutSink::write(std::string_view text) {
    if (text.size() > buffer_.size() - used_) {
        flush();
        if (text.size() > buffer_.size()) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            return;
        }
    }
    text.copy(buffer_.data() + used_, text.size());
    used_ += text.size();
}

void StdoutSink::flush() {
    std::fwrite(buffer_.data(), 1, used_, stdout);
    used_ = 0;
    std::fflush(stdout);
}
