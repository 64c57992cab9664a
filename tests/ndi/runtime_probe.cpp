// Starts the NDI runtime as a program does and makes one source that sends one frame, with a
// value in every field that differs from its neighbours and from its default, so that the fake
// vendor runtime's log shows a misplaced one. Prints the runtime's version, then whether our
// extensions answer and whether a vendor's library is loaded.

#include "ndi/extensions.h"
#include "ndi/ndi_runtime.h"
#include "ndi/source_port.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main()
{
    if (!NDIlib_initialize())
        return 1;
    std::ostringstream maps;
    maps << std::ifstream("/proc/self/maps").rdbuf();
    std::printf("%s\nextensions=%d mapped=%d\n", NDIlib_version(), NDIlib_extensions_available(),
                maps.str().find("/libndi.so.") != std::string::npos);

    const NDIlib_send_create_t settings{"Kelo Vantor 4", "studio", false, true};
    NDIlib_send_instance_t sender = NDIlib_send_create(&settings);
    char text[] = "<ndi_product serial=\"7\"/>";
    const NDIlib_metadata_frame_t metadata{int32_t(sizeof text - 1), 1234567, text};
    NDIlib_send_add_connection_metadata(sender, &metadata);
    uint8_t pixels[320 * 36] = {};  // rows 320 bytes apart
    const NDIlib_video_frame_v2_t frame{64, 36, NDIlib_FourCC_type_BGRA, 60000, 1001, 1.5f,
                                        NDIlib_frame_format_type_progressive, 424242, pixels, 320, "<tc/>", 987654321};
    NDIlib_send_send_video_v2(sender, &frame);
    std::printf("port=%d\n", NDIlib_send_get_port(sender) != 0);
    NDIlib_send_destroy(sender);
    NDIlib_destroy();
    return 0;
}
