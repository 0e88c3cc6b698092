/*
 * board_model.h - a simulated D418 board in plain C, small enough to live
 * inside a kernel driver: fixed buffers, no allocation, no library calls.
 *
 *   base+0  read: next reply byte          write: next frame byte
 *   base+1  read: status byte              write: 0 starts the transmission
 *   base+3                                 write: 0 resets the board
 *
 * After a reset the status reads show not_ready_status until read number
 * ready_on_read (counted from the reset) shows 0xEE; 0 means never. Writing
 * 0 to the status port ends the frame: the next busy_reads status reads show
 * TransmitBusy, then the transmission is over and, if reply_after_send is
 * set, the reply is pending. A pending reply shows ReplyWait for wait_reads
 * status reads, then DataReady while reply bytes remain (or forever with
 * endless_reply). A board that is not present (or addressed at another
 * base) reads 0xFF everywhere and ignores writes.
 *
 * The reply a transmitted frame arms is the scripted one, or with
 * echo_frame the frame itself less its first two bytes: a header carrying
 * w1 and w2 (so the status word is w2), then the frame's payload. With
 * cut_on_w1 as well, a frame whose w1 is 0xFF00 to 0xFF03 arms only that
 * many (0 to 3) of those bytes: a reply cut short inside its header.
 * With delay_on_w1 as well, a frame whose w1 is 0xFE00 + n arms its whole
 * echo to show ReplyWait for n status reads (0 to 255) beyond wait_reads:
 * a board that answers late.
 */
#ifndef D418_BOARD_MODEL_H
#define D418_BOARD_MODEL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The longest frame the board keeps and the longest reply it can hold. */
#define BOARD_MODEL_MAX_FRAME 8192
#define BOARD_MODEL_MAX_REPLY 8192

struct BoardModelScript {
    uint16_t base;
    uint8_t present;
    uint8_t not_ready_status;
    int32_t ready_on_read;
    int32_t busy_reads;
    int32_t wait_reads;
    uint8_t reply_pending;    /* a reply waits from the start */
    uint8_t reply_after_send; /* each transmitted frame arms the reply */
    uint8_t echo_frame;       /* the reply is the frame from its w1 on */
    uint8_t echo_payload;     /* the reply is 00 00 00 00 + the frame's payload */
    uint8_t cut_on_w1;        /* with echo_frame: w1 0xFF0n keeps n reply bytes */
    uint8_t delay_on_w1;      /* with echo_frame: w1 0xFEnn adds nn wait reads */
    uint8_t endless_reply;    /* DataReady never clears after the reply */
    uint32_t reply_length;    /* the scripted reply: header and payload */
    uint8_t reply[BOARD_MODEL_MAX_REPLY];
};

enum BoardModelPhase {
    BOARD_IDLE,
    BOARD_RESETTING,
    BOARD_READY,
    BOARD_TRANSMITTING
};

struct BoardModel {
    struct BoardModelScript script;
    /* What the board has taken. */
    uint32_t resets;
    uint32_t frames_sent;    /* frames whose transmission was started */
    uint32_t frame_length;   /* bytes of the frame being written or sent */
    uint32_t frame_dropped;  /* frame bytes beyond BOARD_MODEL_MAX_FRAME */
    uint8_t frame[BOARD_MODEL_MAX_FRAME];
    /* Inner state. */
    enum BoardModelPhase phase;
    int32_t reads_since_reset;
    int32_t busy_left;
    int32_t wait_left;
    uint8_t reply_armed;
    uint32_t reply_pos;
    uint32_t armed_length;
    uint8_t armed[BOARD_MODEL_MAX_REPLY];
};

/* The default script: a board at 0x300, ready on the first status read,
   no busy or wait reads, a reply armed by every frame (empty until set). */
void BoardModelDefaultScript(struct BoardModelScript *script);
/* Puts the board at power-on under its script (a pending reply is armed). */
void BoardModelStart(struct BoardModel *board);
/* Sets the scripted reply (at most BOARD_MODEL_MAX_REPLY bytes kept). */
void BoardModelSetReply(struct BoardModel *board, const uint8_t *bytes, uint32_t length);

uint8_t BoardModelIn(struct BoardModel *board, uint16_t port);
void BoardModelOut(struct BoardModel *board, uint16_t port, uint8_t value);

#ifdef __cplusplus
}
#endif

#endif
