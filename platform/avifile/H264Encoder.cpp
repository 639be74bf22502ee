#include "platform/avifile/H264Encoder.h"

#include "platform/avifile/H264StepChoice.h"
#include "platform/avifile/SubmittedPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>

extern "C" {
#include <x264.h>
}

namespace vardocle {

namespace {

constexpr int kMacroblock = 16;

std::mutex& HookLock() {
    static std::mutex lock;
    return lock;
}

TH264Encoder::TMapHook& Hook() {
    static TH264Encoder::TMapHook hook;
    return hook;
}

} // namespace

void MarkUnchangedMacroblocks(const TChangedRows& changed, int width, int height,
                              std::uint8_t constant, std::vector<std::uint8_t>& map) {
    const int columns = (width + kMacroblock - 1) / kMacroblock;
    const int rows = (height + kMacroblock - 1) / kMacroblock;
    map.assign(static_cast<std::size_t>(columns) * rows, constant);
    for (const TChangedArea& area : changed.Areas()) {
        // Rounded outwards: a macroblock with one changed pixel is changed.
        const int top = std::clamp(area.Top, 0, height) / kMacroblock;
        const int bottom = (std::clamp(area.Bottom, 0, height) + kMacroblock - 1) / kMacroblock;
        const int left = std::clamp(area.Left, 0, width) / kMacroblock;
        const int right = (std::clamp(area.Right, 0, width) + kMacroblock - 1) / kMacroblock;
        for (int y = top; y < bottom; ++y)
            std::fill_n(map.begin() + static_cast<std::ptrdiff_t>(y) * columns + left,
                        std::max(0, right - left), std::uint8_t{0});
    }
}

struct TH264Encoder::TState {
    ~TState() {
        if (Encoder)
            x264_encoder_close(Encoder);
    }
    x264_t* Encoder = nullptr;
    int Width = 0;
    int Height = 0;
    std::optional<TH264StepChoice> Steps;
    TSubmittedPicture Submitted;
    // The map the encoder reads while it codes a picture; it is done with it
    // when the call returns, as no picture is held.
    std::vector<std::uint8_t> Map;
};

TH264Encoder::TH264Encoder() : FState(std::make_unique<TState>()) {}

TH264Encoder::~TH264Encoder() = default;

bool TH264Encoder::WouldRefine() const {
    return FState->Steps && FState->Steps->WouldRefine();
}

void TH264Encoder::SetMapHookForTests(TMapHook hook) {
    const std::lock_guard lock(HookLock());
    Hook() = std::move(hook);
}

bool TH264Encoder::Open(const TH264Settings& settings, std::string& error) {
    x264_param_t param;
    // The fastest preset keeps a recording's processor share small.
    if (x264_param_default_preset(&param, "ultrafast", nullptr) < 0) {
        error = "The H.264 compressor has no fast preset";
        return false;
    }
    param.i_log_level = X264_LOG_ERROR;
    param.i_csp = X264_CSP_I420;
    param.i_bitdepth = 8;
    param.i_width = settings.Width;
    param.i_height = settings.Height;
    param.i_fps_num = static_cast<std::uint32_t>(settings.TimeBaseDen);
    param.i_fps_den = static_cast<std::uint32_t>(settings.TimeBaseNum);
    param.i_timebase_num = static_cast<std::uint32_t>(settings.TimeBaseNum);
    param.i_timebase_den = static_cast<std::uint32_t>(settings.TimeBaseDen);
    // Key frames are placed by time by the caller; the count of pictures,
    // which passes over unchanged slots, only backs that up.
    param.i_keyint_max = settings.KeyFrameEvery;
    // Nothing waits inside the encoder: no B-frames, no look-ahead, one
    // thread, and pictures taken as constant-rate so that none is held back
    // to learn when the next one comes. Each picture comes out as it goes in,
    // which is what keeps a killed recording's loss to one picture, and what
    // lets the unchanged macroblocks refer to the picture just before.
    param.i_bframe = 0;
    param.i_threads = 1;
    param.b_sliced_threads = 0;
    param.rc.i_lookahead = 0;
    param.i_sync_lookahead = 0;
    param.b_vfr_input = 0;
    // Unchanged macroblocks are only taken as such without weighted
    // prediction.
    param.analyse.i_weighted_pred = X264_WEIGHTP_NONE;
    param.analyse.b_mb_info = 1;
    param.analyse.b_mb_info_update = 1;
    // Each picture's step is chosen here, from how much of it changed: the
    // encoder's own rate control would estimate it from a quarter-size copy
    // of every picture, the largest cost left once unchanged macroblocks are
    // skipped, and its steps wander, so that kept macroblocks are looked at
    // again. The constant step is the finest; the steps of the (absent)
    // B-pictures carry the coarsest, as the encoder takes the range of steps
    // a picture may be given from them.
    param.rc.i_rc_method = X264_RC_CQP;
    param.rc.i_qp_constant = settings.FinestStep;
    param.rc.f_ip_factor = 1;
    param.rc.f_pb_factor = std::exp2f(
        static_cast<float>(std::max(0, settings.CoarsestStep - settings.FinestStep)) / 6);
    // BT.601 in limited range, as the scaler converts.
    param.vui.i_colmatrix = 6;
    param.vui.b_fullrange = 0;
    // The stream's headers come with every key frame: AVI has no other place
    // for them.
    param.b_repeat_headers = 1;
    param.b_annexb = 1;
    FState->Encoder = x264_encoder_open(&param);
    if (!FState->Encoder) {
        error = "The H.264 compressor cannot be used for this picture";
        return false;
    }
    FState->Width = settings.Width;
    FState->Height = settings.Height;
    FState->Steps.emplace(settings.FinestStep, settings.CoarsestStep);
    FState->Submitted.Reset(settings.Width, settings.Height);
    return true;
}

bool TH264Encoder::Encode(const std::uint8_t* const planes[3], const int strides[3],
                          std::int64_t pts, bool key, const TChangedRows& changed,
                          TH264Packet& packet, std::string& error) {
    TState& state = *FState;
    x264_picture_t picture;
    x264_picture_init(&picture);
    picture.img.i_csp = X264_CSP_I420;
    picture.img.i_plane = 3;
    for (int plane = 0; plane < 3; ++plane) {
        // The encoder copies the picture in; it never writes to it.
        picture.img.plane[plane] = const_cast<std::uint8_t*>(planes[plane]);
        picture.img.i_stride[plane] = strides[plane];
    }
    picture.i_pts = pts;
    picture.i_type = key ? X264_TYPE_KEYFRAME : X264_TYPE_AUTO;
    // Where the picture came without word of what changed, the copy of the
    // last one tells.
    if (changed.All() && state.Submitted.Held())
        state.Submitted.MarkSame(planes, strides, X264_MBINFO_CONSTANT, state.Map);
    else
        MarkUnchangedMacroblocks(changed, state.Width, state.Height, X264_MBINFO_CONSTANT,
                                 state.Map);
    state.Submitted.Keep(planes, strides, X264_MBINFO_CONSTANT, state.Map);
    const auto total = static_cast<double>(state.Map.size());
    const auto unchanged = static_cast<double>(
        std::count(state.Map.begin(), state.Map.end(), std::uint8_t{X264_MBINFO_CONSTANT}));
    // The step follows how much changed, also for a key frame: it codes every
    // macroblock, but one in a busy stretch need not cost a still screen's.
    picture.i_qpplus1 = state.Steps->Next((total - unchanged) / total, key) + 1;
    if (key)
        std::fill(state.Map.begin(), state.Map.end(), std::uint8_t{0});
    const int columns = (state.Width + kMacroblock - 1) / kMacroblock;
    {
        const std::lock_guard lock(HookLock());
        if (Hook())
            Hook()(state.Map, columns);
    }
    std::int64_t flagged = 0;
    for (const std::uint8_t flags : state.Map)
        flagged += flags & X264_MBINFO_CONSTANT;
    picture.prop.mb_info = state.Map.data();
    picture.prop.mb_info_free = nullptr;
    x264_nal_t* nals = nullptr;
    int count = 0;
    x264_picture_t out;
    const int size = x264_encoder_encode(state.Encoder, &nals, &count, &picture, &out);
    if (size < 0) {
        error = "The frame cannot be compressed";
        return false;
    }
    if (size == 0) {
        // Held inside: the settings above must not let that happen.
        error = "The compressor held a frame back";
        return false;
    }
    // Where the encoder could not leave a macroblock as it was, it took the
    // flag away; it says so only for P pictures.
    if (!out.b_keyframe && out.i_type != X264_TYPE_I) {
        FCount.Flagged += flagged;
        for (const std::uint8_t flags : state.Map)
            FCount.Kept += flags & X264_MBINFO_CONSTANT;
    }
    // The NAL units' payloads follow one another in memory.
    packet.Data = nals[0].p_payload;
    packet.Size = size;
    packet.Pts = out.i_pts;
    packet.Key = out.b_keyframe != 0;
    return true;
}

} // namespace vardocle
