#include "common/ext80.h"

#include <cstring>

namespace common {

void EncodeExt(long double value, unsigned char* out10) {
    unsigned char image[sizeof(long double)];
    std::memcpy(image, &value, sizeof image);
    std::memcpy(out10, image, kExtSize);
}

long double DecodeExt(const unsigned char* in10) {
    unsigned char image[sizeof(long double)] = {};
    std::memcpy(image, in10, kExtSize);
    long double value;
    std::memcpy(&value, image, sizeof value);
    return value;
}

}  // namespace common
