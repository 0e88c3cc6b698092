#include "board.h"

namespace sim {

Board::Board(BoardScript s) : script(std::move(s)) {
    BoardModelDefaultScript(&model_.script);
    BoardModelScript &m = model_.script;
    m.base = script.base;
    m.present = script.present;
    m.ready_on_read = (int32_t)script.ready_on_read;
    m.not_ready_status = script.not_ready_status;
    m.busy_reads = (int32_t)script.busy_reads;
    m.wait_reads = (int32_t)script.wait_reads;
    m.reply_pending = script.reply_pending;
    m.reply_after_send = script.reply_after_send;
    m.echo_payload = script.echo_payload;
    m.endless_reply = script.endless_reply;
    BoardModelSetReply(&model_, script.reply.data(), (uint32_t)script.reply.size());
    BoardModelStart(&model_);
}

uint8_t Board::In(uint16_t port) { return BoardModelIn(&model_, port); }

// The model keeps one frame of bounded size; the record here keeps every
// frame whole.
void Board::Out(uint16_t port, uint8_t value) {
    const uint32_t resets_before = model_.resets;
    const uint32_t sent_before = model_.frames_sent;
    const uint32_t taken_before = model_.frame_length + model_.frame_dropped;
    BoardModelOut(&model_, port, value);
    if (model_.resets != resets_before) {
        resets++;
        current_frame.clear();
    } else if (model_.frame_length + model_.frame_dropped != taken_before) {
        current_frame.push_back(value);
    } else if (model_.frames_sent != sent_before) {
        frames.push_back(current_frame);
        current_frame.clear();
    }
}

}  // namespace sim
