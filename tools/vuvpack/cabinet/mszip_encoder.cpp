#include "vuvpack/cabinet/mszip_encoder.h"

#include <zlib.h>

#include "vuvpack/cabinet/cabinet_format.h"

bool MszipEncodeBlock(const uint8_t* data, size_t size, std::vector<uint8_t>* out, std::string* error) {
    z_stream stream = {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        *error = "zlib can't start";
        return false;
    }
    // 32 KiB that don't compress come out as stored deflate blocks, far
    // below the data block's limit.
    out->assign(2 + deflateBound(&stream, (uLong)size), 0);
    (*out)[0] = 'C';
    (*out)[1] = 'K';
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = (uInt)size;
    stream.next_out = out->data() + 2;
    stream.avail_out = (uInt)(out->size() - 2);
    int status = deflate(&stream, Z_FINISH);
    out->resize(2 + stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END || out->size() > kMaxDataBlockCompressed) {
        *error = "zlib can't compress a data block";
        return false;
    }
    return true;
}
