// libFuzzer target for ODateTime::Format: the first eight bytes are the raw day
// number and time value (any numbers, the invalid one included), the ninth picks
// a zone, the rest is the picture. No picture may crash, read past its end or
// run into undefined behaviour, and a picture without pattern letters or quotes
// comes back unchanged.
//
// Run (scripts/test.sh does this briefly):
//   build/fuzz/oxlib/fuzz/otimeformat_fuzzer -max_total_time=30 build/fuzz/corpus-format \
//       oxlib/fuzz/corpus/format
#include <oxlib/otime.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9)
        return 0;
    int32_t day = 0;
    int32_t time = 0;
    std::memcpy(&day, data, 4);
    std::memcpy(&time, data + 4, 4);
    static const OTimeZone zones[] = {
        OTimeZone(OString("UTC,0")),
        OTimeZone(OString("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0")),
        OTimeZone(OString("AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0")),
        OTimeZone(OString("X,32767,Y,-32768;13,0,9/99,99,0,6,7")),
    };
    const OTimeZone& zone = zones[data[8] % 4];
    const std::string picture(reinterpret_cast<const char*>(data + 9), size - 9);
    const OString pictureText(picture.c_str());

    // A time value in range keeps the formatter's arithmetic meaningful; the
    // raw one (possibly the invalid number or beyond a day) tests its safety.
    const ODateTime raw(ODate::fromDayNumber(day), OTimeOfDay::fromValue(time));
    (void)raw.Format(pictureText, zone);
    const ODateTime dt(ODate::fromDayNumber(day), OTimeOfDay::fromValue(static_cast<int32_t>(
                                                      static_cast<uint32_t>(time) % 86400000u)));
    const OString out = dt.Format(pictureText, zone);

    if (std::strpbrk(pictureText.c_str(), "dMyghHmsSt'\"") == nullptr &&
        std::strcmp(out.c_str(), pictureText.c_str()) != 0)
        std::abort();
    return 0;
}
