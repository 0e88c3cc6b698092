#include "board.h"

namespace sim {

Board::Board(BoardScript s) : script(std::move(s)) {
    if (script.reply_pending) {
        reply_armed_ = true;
        wait_left_ = script.wait_reads;
        reply_ = script.reply;
    }
}

uint8_t Board::Status() {
    if (phase_ == Phase::Resetting) {
        reads_since_reset_++;
        if (script.ready_on_read != 0 && reads_since_reset_ == script.ready_on_read) {
            phase_ = Phase::Ready;
            return 0xEE;
        }
        return script.not_ready_status;
    }
    if (phase_ == Phase::Transmitting) {
        if (busy_left_ > 0) {
            busy_left_--;
            return 0x20 | 0x04;
        }
        phase_ = Phase::Idle;
        if (script.reply_after_send) {
            reply_armed_ = true;
            wait_left_ = script.wait_reads;
            reply_pos_ = 0;
            reply_ = script.reply;
            if (script.echo_payload && !frames.empty()) {
                reply_.assign(4, 0);
                const std::vector<uint8_t> &f = frames.back();
                if (f.size() > 6) reply_.insert(reply_.end(), f.begin() + 6, f.end());
            }
        }
    }
    if (!reply_armed_) return 0x04;
    if (wait_left_ > 0) {
        wait_left_--;
        return 0x04;
    }
    if (reply_pos_ < reply_.size() || script.endless_reply) return 0x01;
    return 0x00;
}

uint8_t Board::In(uint16_t port) {
    if (!script.present) return 0xFF;
    uint16_t offset = (uint16_t)(port - script.base);
    if (offset == 1) return Status();
    if (offset == 0) {
        if (reply_armed_ && wait_left_ == 0) {
            if (reply_pos_ < reply_.size()) return reply_[reply_pos_++];
            if (script.endless_reply) return (uint8_t)(reply_pos_++ & 0xFF);
        }
        return 0xFF;
    }
    return 0xFF;
}

void Board::Out(uint16_t port, uint8_t value) {
    if (!script.present) return;
    uint16_t offset = (uint16_t)(port - script.base);
    if (offset == 3 && value == 0) {
        resets++;
        phase_ = Phase::Resetting;
        reads_since_reset_ = 0;
        current_frame.clear();
        reply_armed_ = false;
    } else if (offset == 0 && phase_ == Phase::Ready) {
        current_frame.push_back(value);
    } else if (offset == 1 && value == 0 && phase_ == Phase::Ready) {
        frames.push_back(current_frame);
        current_frame.clear();
        phase_ = Phase::Transmitting;
        busy_left_ = script.busy_reads;
    }
}

}  // namespace sim
