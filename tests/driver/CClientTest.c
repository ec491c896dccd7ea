/* A plain C client of libVOKTDrv.so: knows only the public header. Runs the calling order
 * of the setup program against the simulated driver library in the place of libVOKTDrv.so. */
#include <VOKTDrv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int failures = 0;

#define EXPECT(cond)                                                            \
    do {                                                                        \
        if (!(cond)) {                                                          \
            fprintf(stderr, "%s:%d: expected %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                         \
        }                                                                       \
    } while (0)

static void SleepMs(long ms) {
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&t, NULL);
}

int main(void) {
    uint32_t count = 0, number = 0, length = 0;
    float gain = 0.0f;
    int16_t offset = 0;
    uint8_t overflow = 0;
    DeviceConfig config;
    const uint32_t capacity = 524288;
    uint8_t* buffer = malloc(capacity);
    if (buffer == NULL) return 1;

    EXPECT(sizeof(DeviceConfig) == 60);
    EXPECT(GetDLLVersion() == VOKTDRV_VERSION);
    EXPECT(LockDevice(0) == VOKTDRV_ERR_INDEX);
    EXPECT(GetDevicesCnt(NULL) == VOKTDRV_ERR_ARG);
    EXPECT(GetDevicesCnt(&count) == VOKTDRV_OK);
    EXPECT(count == 1);
    EXPECT(GetDeviceSerialNumber(0, &number) == VOKTDRV_OK);
    EXPECT(number == 1);
    EXPECT(GetDeviceSerialNumber(1, NULL) == VOKTDRV_ERR_INDEX);
    EXPECT(LockDevice(0) == VOKTDRV_OK);
    EXPECT(GetCoefs(0, &gain, &offset) == VOKTDRV_OK);
    EXPECT(gain > 0.0f);

    memset(&config, 0, sizeof config);
    config.reg0Value = 500;
    config.reg8Value = 0xFFFF;
    config.regFBit2 = 1;
    config.regFBit3 = 1;
    EXPECT(ConfigDevice(0, &config) == VOKTDRV_ERR_NO_CHANNEL);
    config.channelOn[0] = 1;
    EXPECT(ConfigDevice(0, &config) == VOKTDRV_OK);
    EXPECT(StartDevice(0) == VOKTDRV_OK);
    SleepMs(20);
    length = capacity | VOKTDRV_IMMEDIATE;
    EXPECT(GetDeviceData(0, buffer, &length, &overflow) == VOKTDRV_OK);
    EXPECT(length > 0 && length <= capacity && length % 2 == 0);
    EXPECT(overflow == 0);
    length = 64; /* waiting mode */
    EXPECT(GetDeviceData(0, buffer, &length, &overflow) == VOKTDRV_OK);
    EXPECT(length == 64);
    EXPECT(StopDevice(0) == VOKTDRV_OK);
    EXPECT(ClearBuffer(0) == VOKTDRV_OK);
    EXPECT(UnlockDevice(0) == VOKTDRV_OK);
    EXPECT(UnlockDevice(0) == VOKTDRV_ERR_DEVICE);
    EXPECT(StartDevice(0) == VOKTDRV_ERR_DEVICE);

    free(buffer);
    if (failures == 0) printf("VOKTDrv C client: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
