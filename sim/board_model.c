/* board_model.c - the simulated D418 board; see board_model.h. */
#include "board_model.h"

static void copy_bytes(uint8_t *to, const uint8_t *from, uint32_t n)
{
    uint32_t i;
    for (i = 0; i < n; i++)
        to[i] = from[i];
}

void BoardModelDefaultScript(struct BoardModelScript *script)
{
    uint8_t *bytes = (uint8_t *)script;
    uint32_t i;
    for (i = 0; i < sizeof *script; i++)
        bytes[i] = 0;
    script->base = 0x300;
    script->present = 1;
    script->ready_on_read = 1;
    script->reply_after_send = 1;
}

static void arm_reply(struct BoardModel *board)
{
    const struct BoardModelScript *s = &board->script;
    board->reply_armed = 1;
    board->wait_left = s->wait_reads;
    board->reply_pos = 0;
    if (s->echo_frame && board->frames_sent > 0 && board->frame_length >= 2) {
        uint32_t n = board->frame_length - 2;
        if (s->cut_on_w1 && board->frame_length >= 4 && board->frame[3] == 0xFF &&
            board->frame[2] <= 3)
            n = board->frame[2];
        if (s->delay_on_w1 && board->frame_length >= 4 && board->frame[3] == 0xFE)
            board->wait_left += board->frame[2];
        board->armed_length = n;
        copy_bytes(board->armed, board->frame + 2, n);
    } else if (s->echo_payload && board->frames_sent > 0) {
        uint32_t n = board->frame_length > 6 ? board->frame_length - 6 : 0;
        board->armed[0] = board->armed[1] = board->armed[2] = board->armed[3] = 0;
        if (n > BOARD_MODEL_MAX_REPLY - 4)
            n = BOARD_MODEL_MAX_REPLY - 4;
        copy_bytes(board->armed + 4, board->frame + 6, n);
        board->armed_length = 4 + n;
    } else {
        board->armed_length = s->reply_length;
        copy_bytes(board->armed, s->reply, s->reply_length);
    }
}

void BoardModelStart(struct BoardModel *board)
{
    board->resets = 0;
    board->frames_sent = 0;
    board->frame_length = 0;
    board->frame_dropped = 0;
    board->phase = BOARD_IDLE;
    board->reads_since_reset = 0;
    board->busy_left = 0;
    board->wait_left = 0;
    board->reply_armed = 0;
    board->reply_pos = 0;
    board->armed_length = 0;
    if (board->script.reply_pending)
        arm_reply(board);
}

void BoardModelSetReply(struct BoardModel *board, const uint8_t *bytes, uint32_t length)
{
    if (length > BOARD_MODEL_MAX_REPLY)
        length = BOARD_MODEL_MAX_REPLY;
    copy_bytes(board->script.reply, bytes, length);
    board->script.reply_length = length;
}

static uint8_t status(struct BoardModel *board)
{
    const struct BoardModelScript *s = &board->script;
    if (board->phase == BOARD_RESETTING) {
        board->reads_since_reset++;
        if (s->ready_on_read != 0 && board->reads_since_reset == s->ready_on_read) {
            board->phase = BOARD_READY;
            return 0xEE;
        }
        return s->not_ready_status;
    }
    if (board->phase == BOARD_TRANSMITTING) {
        if (board->busy_left > 0) {
            board->busy_left--;
            return 0x20 | 0x04;
        }
        board->phase = BOARD_IDLE;
        if (s->reply_after_send)
            arm_reply(board);
    }
    if (!board->reply_armed)
        return 0x04;
    if (board->wait_left > 0) {
        board->wait_left--;
        return 0x04;
    }
    if (board->reply_pos < board->armed_length || s->endless_reply)
        return 0x01;
    return 0x00;
}

uint8_t BoardModelIn(struct BoardModel *board, uint16_t port)
{
    uint16_t offset;
    if (!board->script.present)
        return 0xFF;
    offset = (uint16_t)(port - board->script.base);
    if (offset == 1)
        return status(board);
    if (offset == 0 && board->reply_armed && board->wait_left == 0) {
        if (board->reply_pos < board->armed_length)
            return board->armed[board->reply_pos++];
        if (board->script.endless_reply)
            return (uint8_t)(board->reply_pos++ & 0xFF);
    }
    return 0xFF;
}

void BoardModelOut(struct BoardModel *board, uint16_t port, uint8_t value)
{
    uint16_t offset;
    if (!board->script.present)
        return;
    offset = (uint16_t)(port - board->script.base);
    if (offset == 3 && value == 0) {
        board->resets++;
        board->phase = BOARD_RESETTING;
        board->reads_since_reset = 0;
        board->frame_length = 0;
        board->frame_dropped = 0;
        board->reply_armed = 0;
    } else if (offset == 0 && board->phase == BOARD_READY) {
        if (board->frame_length < BOARD_MODEL_MAX_FRAME)
            board->frame[board->frame_length++] = value;
        else
            board->frame_dropped++;
    } else if (offset == 1 && value == 0 && board->phase == BOARD_READY) {
        board->frames_sent++;
        board->phase = BOARD_TRANSMITTING;
        board->busy_left = board->script.busy_reads;
    }
}
