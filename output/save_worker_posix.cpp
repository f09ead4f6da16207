// output/save_worker_posix.cpp
// The native build has no image codec: JPG and PNG pages cannot be encoded there.
#include "output/save_worker.h"

bool save_encode_image(const PageImage*, int, int, ByteBuffer*) {
    return false;
}
