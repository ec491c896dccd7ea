/*
 * VOKTDrv: driver library of the VOKT analog measurement board.
 *
 * The board sits behind an FTDI USB chip; its logic is a PLD that the library configures
 * with a configuration image every time a board is locked. The library lists the boards
 * attached, locks one into a slot, reads its calibration coefficients from the chip's
 * EEPROM user area, configures the acquisition and delivers the sample stream.
 *
 * Calling order for one board:
 *
 *     GetDevicesCnt, LockDevice, GetCoefs,
 *     then any number of cycles of
 *         ConfigDevice, StartDevice, GetDeviceData (repeatedly), StopDevice, ClearBuffer,
 *     and finally UnlockDevice.
 *
 * The library does not enforce this order: it checks the slot index and the pointers, and
 * an operation on a slot that holds no open device fails with VOKTDRV_ERR_DEVICE.
 *
 * Ownership: everything passed in is owned by the caller (counts, coefficients, the
 * DeviceConfig record, the sample buffer). The library keeps no pointer after a call
 * returns and allocates nothing the caller must free.
 *
 * Threads: the library creates no threads. Calls must not overlap; make them all from one
 * thread. Listing (GetDevicesCnt) rewrites a table shared by all slots.
 *
 * Lifetime: the library starts its USB backend when the first export is called. Nothing
 * happens when it is unloaded: open boards are not closed then, so unlock every locked
 * board before the program ends.
 *
 * USB devices (Linux): libVOKTDrv.so reaches real boards through libftdi1. The simulated
 * driver library libVOKTDrv-sim.so has the same exports over one simulated board of its
 * own ("VOKT.001"), so a program can be tried without hardware; it is built for tests and
 * demonstrations and is not installed. VESKA_TRACE=usb prints every USB call with its bytes
 * on standard error.
 *
 * Every export returns a signed 32-bit result. Results common to all exports:
 *
 *     VOKTDRV_OK            0  success
 *     VOKTDRV_ERR_DEVICE    1  the USB device or the board failed: a USB call failed, a
 *                              write was short, the board did not acknowledge, or the slot
 *                              holds no open device
 *     VOKTDRV_ERR_NOT_READY 2  the USB backend could not be started; nothing is touched
 *     VOKTDRV_ERR_INDEX     3  the slot index is not below the board count (also: the
 *                              listing failed, and some failed writes of ConfigDevice)
 *     VOKTDRV_ERR_NO_CHANNEL 4 ConfigDevice: no channel is enabled
 *     VOKTDRV_ERR_ARG       5  a required pointer is null; ConfigDevice: a value is out of
 *                              range
 *
 * Every export except GetDLLVersion checks, in this order: the backend is ready (else 2),
 * the slot index is below the board count (else 3; GetDevicesCnt takes no index), the
 * required pointers are non-null (else 5). Only then is a device touched.
 */
#ifndef VOKTDRV_H
#define VOKTDRV_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VOKTDRV_BUILDING)
#define VOKTDRV_API __attribute__((visibility("default")))
#else
#define VOKTDRV_API
#endif

/** Result codes of the exports. */
enum {
    VOKTDRV_OK = 0,
    VOKTDRV_ERR_DEVICE = 1,
    VOKTDRV_ERR_NOT_READY = 2,
    VOKTDRV_ERR_INDEX = 3,
    VOKTDRV_ERR_NO_CHANNEL = 4,
    VOKTDRV_ERR_ARG = 5
};

/** The version GetDLLVersion reports. */
#define VOKTDRV_VERSION 204

/** Slots: at most this many boards are listed. */
#define VOKTDRV_MAX_BOARDS 10

/** Bit 31 of the length passed to GetDeviceData: immediate mode. */
#define VOKTDRV_IMMEDIATE 0x80000000u

/**
 * Acquisition configuration, taken by ConfigDevice. Clear it to zero, then set the fields
 * you need. Natural C alignment (60 bytes: one padding byte after reg2Span).
 */
typedef struct DeviceConfig {
    uint32_t reg0Value;    /**< register 0 gets reg0Value - 2; at least 40 */
    uint32_t reg8Value;    /**< registers B, A, 9, 8 (bits 15-12 ... 3-0); at most 0xFFFF */
    uint32_t regFBit2;     /**< non-zero sets bit 2 of register F */
    uint32_t regFBit1;     /**< non-zero sets bit 1 of register F */
    uint32_t reg2Bit3;     /**< non-zero sets bit 3 of register 2 */
    uint8_t reg2Span;      /**< register 2 counts the enabled channels among channels
                                0 .. reg2Span-1 (values above 8 count as 8) */
    uint16_t reg3Value;    /**< register 3, 16 bits */
    uint32_t regFBit3;     /**< non-zero sets bit 3 of register F */
    uint32_t channelOn[8]; /**< channel enables 0 to 7, non-zero enables; one at least */
} DeviceConfig;

/**
 * The library's version.
 *
 * @return 204 (VOKTDRV_VERSION) when the USB backend is ready, else 2. Callable at any time.
 */
VOKTDRV_API int32_t GetDLLVersion(void);

/**
 * Lists the boards attached: every USB device whose serial-number string begins with
 * "VOKT." (case as written). The board number is the decimal number in the next three
 * characters at most (leading blanks and a sign allowed; the digits end at the first
 * non-digit, so "VOKT.042A" is 42, "VOKT.1234" is 123 and "VOKT.XYZ" is 0). The k-th such
 * device, in device order, goes to slot k; at most VOKTDRV_MAX_BOARDS are listed. The
 * board count becomes the number listed. Open slots keep their devices.
 *
 * @param count  receives the board count. Must not be null.
 * @return 0; 2 not ready; 3 the USB listing failed (count and the board count are set to
 *         0); 5 count is null.
 */
VOKTDRV_API int32_t GetDevicesCnt(uint32_t* count);

/**
 * The board number of a listed slot. Touches no device.
 *
 * @param index   slot index, below the board count.
 * @param number  receives the board number. Must not be null.
 * @return 0; 2; 3 bad index; 5 number is null.
 */
VOKTDRV_API int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number);

/**
 * Opens the slot's board and configures its PLD: lists the devices again, opens the
 * first device carrying the slot's board number, resets it, sets 300 ms read and write
 * time-outs, purges its receive queue and loads the configuration image (image 101 for
 * board numbers up to 699, 102 from 700), up to ten attempts. An image load takes at least
 * 1.1 s.
 *
 * @param index  slot index, below the board count.
 * @return 0 locked; 1 no device with the board number, a USB call failed, the image is
 *         missing or unusable (after one attempt), or the board did not acknowledge ten
 *         loads; 2; 3 bad index. After a failed load the device stays open in the slot:
 *         UnlockDevice closes it.
 */
VOKTDRV_API int32_t LockDevice(uint32_t index);

/**
 * Reads the calibration coefficients from the first 6 bytes of the board's EEPROM user
 * area: bytes 0-1 the offset (16 bits, little-endian), bytes 2-5 the gain (IEEE-754 single,
 * little-endian). Note the order: gain first in the arguments, second in the EEPROM.
 *
 * @param index   slot index of a locked board.
 * @param gain    receives the gain. Must not be null.
 * @param offset  receives the offset (the client treats it as unsigned). Must not be null.
 * @return 0; 1 the EEPROM read failed or the slot is not open (outputs unwritten); 2; 3; 5.
 */
VOKTDRV_API int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset);

/**
 * Sends an acquisition configuration to a locked board. Nothing is rolled back: bytes sent
 * before a failure stay sent.
 *
 * @param index   slot index of a locked board.
 * @param config  the configuration; read only during the call. Must not be null.
 * @return 0; 1 a write of the channel mask, register 8-B or register F bytes failed; 3 a
 *         write of the 0xE1 command, register 0, 3, 1 or 2 bytes failed (or bad index);
 *         4 no channel enabled (nothing sent); 5 config is null, reg0Value below 40 or
 *         reg8Value above 0xFFFF (the earlier bytes are sent); 2.
 */
VOKTDRV_API int32_t ConfigDevice(uint32_t index, const DeviceConfig* config);

/**
 * Starts acquisition: resets the marker-run counters of all slots, empties both USB
 * queues and starts the board. Data acquired before are lost.
 *
 * @param index  slot index of a locked board.
 * @return 0; 1 a step failed; 2; 3.
 */
VOKTDRV_API int32_t StartDevice(uint32_t index);

/**
 * Delivers sample bytes as the board sent them (the client reads them as 16-bit
 * little-endian words).
 *
 * Bits 0-30 of *length give the number of bytes wanted; buffer must hold that many. With
 * bit 31 (VOKTDRV_IMMEDIATE) set the call asks the queue once, reads at most once what is
 * there and returns at once, possibly with 0 bytes; it never sleeps. Without it the call
 * waits until all bytes have come, or until 2 s pass without a byte, and then delivers
 * what it has.
 *
 * A run of more than seven marker bytes (0x11) means the board lost samples. The run is
 * counted across calls until the next StartDevice.
 *
 * @param index     slot index of a locked board.
 * @param buffer    receives the bytes. Must not be null.
 * @param length    in: bytes wanted, plus the mode bit; out: bytes delivered (bit 31
 *                  clear). Must not be null.
 * @param overflow  receives 1 when this call saw a marker run exceed seven bytes, else 0.
 *                  Must not be null.
 * @return 0; 1 a USB call failed (length and overflow unwritten, except that bit 31 of
 *         length is already cleared); 2; 3; 5.
 */
VOKTDRV_API int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                                  uint8_t* overflow);

/**
 * Stops acquisition and purges the receive queue.
 *
 * @param index  slot index of a locked board.
 * @return 0; 1 a step failed; 2; 3.
 */
VOKTDRV_API int32_t StopDevice(uint32_t index);

/**
 * Reads and discards what the board has queued, in passes 100 ms apart, until a pass
 * finds nothing. Takes at least 100 ms.
 *
 * @param index  slot index of a locked board.
 * @return 0; 1 a USB call failed, or the board kept sending for 50 passes (still
 *         acquiring); 2; 3.
 */
VOKTDRV_API int32_t ClearBuffer(uint32_t index);

/**
 * Parks the board (stops it, all pins low) and closes its USB device. The outcome of the
 * parking does not change the result.
 *
 * @param index  slot index, below the board count.
 * @return 0 the slot had an open device; 1 it had none (nothing changed); 2; 3.
 */
VOKTDRV_API int32_t UnlockDevice(uint32_t index);

#ifdef __cplusplus
}
#endif

#endif /* VOKTDRV_H */
