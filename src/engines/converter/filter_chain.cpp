#include "engines/converter/filter_chain_internal.h"

#include <cerrno>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace rm::converter {

int ConfigureFilterChain(AVFilterGraph* graph, AVFilterContext* src, AVFilterContext* sink, const std::string& chain)
{
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        return AVERROR(ENOMEM);
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = src;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    const int err = avfilter_graph_parse_ptr(graph, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (err < 0)
        return err;
    return avfilter_graph_config(graph, nullptr);
}

} // namespace rm::converter
