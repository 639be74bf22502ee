#include "platform/screen/portal/PipeWireStream.h"

#include "platform/base/Errors.h"

#include <pipewire/pipewire.h>
#include <spa/debug/types.h>
#include <spa/param/video/format-utils.h>
#include <spa/param/video/type-info.h>
#include <spa/pod/builder.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>

namespace vardocle {

namespace {

std::optional<TCastPixelFormat> CastPixelFormat(std::uint32_t format) {
    switch (format) {
    case SPA_VIDEO_FORMAT_BGRx:
        return TCastPixelFormat::Bgrx;
    case SPA_VIDEO_FORMAT_BGRA:
        return TCastPixelFormat::Bgra;
    case SPA_VIDEO_FORMAT_RGBx:
        return TCastPixelFormat::Rgbx;
    case SPA_VIDEO_FORMAT_RGBA:
        return TCastPixelFormat::Rgba;
    default:
        return std::nullopt;
    }
}

std::string FormatName(std::uint32_t format) {
    const char* name = spa_debug_type_find_short_name(spa_type_video_format, format);
    return name ? name : "format " + std::to_string(format);
}

} // namespace

struct TPipeWireStream::TState {
    explicit TState(TLatestPicture& pictures) : Pictures(pictures) {}

    TLatestPicture& Pictures;
    pw_thread_loop* Loop = nullptr;
    pw_context* Context = nullptr;
    pw_core* Core = nullptr;
    pw_stream* Stream = nullptr;
    pw_registry* Registry = nullptr;
    std::uint32_t Node = 0;
    spa_hook CoreListener{};
    spa_hook RegistryListener{};
    spa_hook StreamListener{};
    std::optional<TCastFormat> Format; // the PipeWire thread's alone
    bool Streamed = false;

    mutable std::mutex Lock;
    std::optional<std::string> Failure;
    std::atomic<std::uint64_t> Count{0};
    std::atomic<bool> Ended{false};

    // The desktop's side left: an end once the stream had run, else a fault.
    void End(const std::string& reason) {
        if (Streamed)
            Ended = true;
        Fail(reason);
    }
    void Fail(const std::string& reason) {
        std::lock_guard guard(Lock);
        if (!Failure)
            Failure = reason;
    }
    bool Failed() const {
        std::lock_guard guard(Lock);
        return Failure.has_value();
    }

    void FormatChanged(const spa_pod* param);
    // The box around the parts of the picture the desktop says changed.
    static std::optional<TScreenRect> Damage(const spa_buffer& buffer);
    void Process();
};

void TPipeWireStream::TState::FormatChanged(const spa_pod* param) {
    std::uint32_t mediaType = 0;
    std::uint32_t mediaSubtype = 0;
    spa_video_info_raw info{};
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw ||
        spa_format_video_raw_parse(param, &info) < 0) {
        Format.reset();
        Fail("the stream changed to a format that is not raw video");
        return;
    }
    const auto pixels = CastPixelFormat(info.format);
    if (!pixels) {
        Format.reset();
        Fail("the stream changed to the pixel format " + FormatName(info.format) +
             ", which was not agreed");
        return;
    }
    if (info.size.width == 0 || info.size.height == 0 || info.size.width > 16384 ||
        info.size.height > 16384) {
        Format.reset();
        Fail("the stream's picture has the size " + std::to_string(info.size.width) + "x" +
             std::to_string(info.size.height));
        return;
    }
    Format =
        TCastFormat{*pixels, static_cast<int>(info.size.width), static_cast<int>(info.size.height)};

    std::uint8_t buffer[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[3];
    const int memory = (1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd);
    params[0] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
                                   SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(4, 2, 8),
                                   SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(memory)));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size,
        SPA_POD_Int(sizeof(struct spa_meta_header))));
    // Where each picture changed, so that a region can tell a change of its
    // own from one elsewhere on the monitor.
    constexpr int kRegion = sizeof(struct spa_meta_region);
    params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_VideoDamage), SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(kRegion * 16, kRegion, kRegion * 16)));
    pw_stream_update_params(Stream, params, 3);
}

std::optional<TScreenRect> TPipeWireStream::TState::Damage(const spa_buffer& buffer) {
    spa_meta* meta = spa_buffer_find_meta(&buffer, SPA_META_VideoDamage);
    if (!meta)
        return std::nullopt;
    std::optional<TScreenRect> box;
    spa_meta_region* part = nullptr;
    spa_meta_for_each(part, meta) {
        if (!spa_meta_region_is_valid(part))
            break;
        const TScreenRect rect{part->region.position.x, part->region.position.y,
                               static_cast<int>(part->region.size.width),
                               static_cast<int>(part->region.size.height)};
        box = box ? BoundingBox(*box, rect) : rect;
    }
    // No part told: the desktop did not say, so all of it may have changed.
    return box;
}

void TPipeWireStream::TState::Process() {
    // Only the newest picture matters; older queued ones go straight back.
    pw_buffer* newest = nullptr;
    while (pw_buffer* next = pw_stream_dequeue_buffer(Stream)) {
        if (newest)
            pw_stream_queue_buffer(Stream, newest);
        newest = next;
    }
    if (!newest)
        return;
    const spa_buffer* buffer = newest->buffer;
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    const bool corrupted = header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED);
    if (!corrupted && Format && !Failed() && buffer->n_datas > 0) {
        const spa_data& data = buffer->datas[0];
        if (data.type != SPA_DATA_MemFd && data.type != SPA_DATA_MemPtr) {
            Fail("the stream sent a buffer of a memory kind that was not agreed");
        } else if (data.data && data.chunk && data.chunk->size > 0) {
            const TCastBuffer view{static_cast<const std::uint8_t*>(data.data), data.maxsize,
                                   data.chunk->offset, data.chunk->size, data.chunk->stride};
            if (auto problem = CopyCastBuffer(view, *Format, Pictures.Back())) {
                Fail(*problem);
            } else {
                Pictures.Publish(Damage(*buffer));
                ++Count;
            }
        }
        // A buffer without data carries no new picture (nothing changed).
    }
    pw_stream_queue_buffer(Stream, newest);
}

namespace {

void CoreError(void* data, std::uint32_t id, int, int result, const char* message) {
    auto* state = static_cast<TPipeWireStream::TState*>(data);
    if (id == PW_ID_CORE)
        state->Fail(std::string("the connection to PipeWire broke: ") +
                    (message ? message : std::strerror(-result)));
}

void StreamStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
    auto* self = static_cast<TPipeWireStream::TState*>(data);
    if (state == PW_STREAM_STATE_ERROR)
        self->End(std::string("the stream failed: ") + (error ? error : "no reason given"));
    else if (state == PW_STREAM_STATE_STREAMING)
        self->Streamed = true;
    else if (state == PW_STREAM_STATE_UNCONNECTED)
        self->End("the stream was disconnected");
}

// The stream only pauses when the desktop's side goes away; its node leaving
// the graph is what says so.
void GlobalRemoved(void* data, std::uint32_t id) {
    auto* state = static_cast<TPipeWireStream::TState*>(data);
    if (id == state->Node)
        state->End("the screen's stream left PipeWire (the desktop stopped sharing)");
}

void StreamParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    if (param && id == SPA_PARAM_Format)
        static_cast<TPipeWireStream::TState*>(data)->FormatChanged(param);
}

void StreamProcess(void* data) {
    static_cast<TPipeWireStream::TState*>(data)->Process();
}

const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = CoreError;
    return events;
}();

const pw_registry_events kRegistryEvents = [] {
    pw_registry_events events{};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global_remove = GlobalRemoved;
    return events;
}();

const pw_stream_events kStreamEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = StreamStateChanged;
    events.param_changed = StreamParamChanged;
    events.process = StreamProcess;
    return events;
}();

} // namespace

TPipeWireStream::TPipeWireStream(UniqueFd remote, std::uint32_t node, int maxFrameRate,
                                 TLatestPicture& pictures)
    : FState(std::make_unique<TState>(pictures)) {
    pw_init(nullptr, nullptr);
    TState& state = *FState;
    state.Loop = pw_thread_loop_new("vardocle-cast", nullptr);
    if (!state.Loop)
        throw Exception("PipeWire: cannot make a thread loop");
    state.Context = pw_context_new(pw_thread_loop_get_loop(state.Loop), nullptr, 0);
    if (!state.Context || pw_thread_loop_start(state.Loop) < 0) {
        Release();
        throw Exception("PipeWire: cannot start");
    }
    pw_thread_loop_lock(state.Loop);
    // The core closes the descriptor it is given; ours closes with `remote`.
    state.Core =
        pw_context_connect_fd(state.Context, fcntl(remote.Get(), F_DUPFD_CLOEXEC, 3), nullptr, 0);
    const int connectError = errno;
    std::string failure;
    if (!state.Core) {
        failure = std::string("PipeWire: cannot connect: ") + std::strerror(connectError);
    } else {
        pw_core_add_listener(state.Core, &state.CoreListener, &kCoreEvents, &state);
        state.Node = node;
        state.Registry = pw_core_get_registry(state.Core, PW_VERSION_REGISTRY, 0);
        if (state.Registry)
            pw_registry_add_listener(state.Registry, &state.RegistryListener, &kRegistryEvents,
                                     &state);
        state.Stream =
            pw_stream_new(state.Core, "vardocle",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
        if (!state.Stream) {
            failure = "PipeWire: cannot make a stream";
        } else {
            pw_stream_add_listener(state.Stream, &state.StreamListener, &kStreamEvents, &state);
            std::uint8_t buffer[1024];
            spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
            spa_rectangle size = SPA_RECTANGLE(1920, 1080);
            spa_rectangle smallest = SPA_RECTANGLE(1, 1);
            spa_rectangle largest = SPA_RECTANGLE(16384, 16384);
            spa_fraction anyRate = SPA_FRACTION(0, 1);
            spa_fraction fastest = SPA_FRACTION(1000, 1);
            spa_fraction wanted = SPA_FRACTION(static_cast<std::uint32_t>(maxFrameRate), 1);
            spa_fraction slowest = SPA_FRACTION(1, 1);
            // No modifier is offered: the compositor then hands shared memory.
            const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
                SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
                SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
                SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                       SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                       SPA_VIDEO_FORMAT_RGBA),
                SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &smallest, &largest),
                SPA_FORMAT_VIDEO_framerate,
                SPA_POD_CHOICE_RANGE_Fraction(&anyRate, &anyRate, &fastest),
                SPA_FORMAT_VIDEO_maxFramerate,
                SPA_POD_CHOICE_RANGE_Fraction(&wanted, &slowest, &wanted)))};
            const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT |
                                                            PW_STREAM_FLAG_MAP_BUFFERS);
            if (pw_stream_connect(state.Stream, PW_DIRECTION_INPUT, node, flags, params, 1) < 0)
                failure = "PipeWire: cannot connect to the screen's stream";
        }
    }
    pw_thread_loop_unlock(state.Loop);
    if (!failure.empty()) {
        Release();
        throw Exception(failure);
    }
}

TPipeWireStream::~TPipeWireStream() {
    Release();
}

void TPipeWireStream::Release() {
    TState& state = *FState;
    if (!state.Loop)
        return;
    pw_thread_loop_lock(state.Loop);
    if (state.Stream) {
        spa_hook_remove(&state.StreamListener);
        pw_stream_destroy(state.Stream);
        state.Stream = nullptr;
    }
    if (state.Registry) {
        spa_hook_remove(&state.RegistryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(state.Registry));
        state.Registry = nullptr;
    }
    if (state.Core) {
        spa_hook_remove(&state.CoreListener);
        pw_core_disconnect(state.Core);
        state.Core = nullptr;
    }
    pw_thread_loop_unlock(state.Loop);
    pw_thread_loop_stop(state.Loop);
    if (state.Context)
        pw_context_destroy(state.Context);
    state.Context = nullptr;
    pw_thread_loop_destroy(state.Loop);
    state.Loop = nullptr;
}

std::optional<std::string> TPipeWireStream::Failure() const {
    std::lock_guard guard(FState->Lock);
    return FState->Failure;
}

bool TPipeWireStream::Ended() const {
    return FState->Ended;
}

std::uint64_t TPipeWireStream::Pictures() const {
    return FState->Count;
}

} // namespace vardocle
