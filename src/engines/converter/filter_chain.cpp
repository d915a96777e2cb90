#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/filter_graph.h"

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
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

bool FieldOrderSaysInterlaced(int fieldOrder)
{
    return fieldOrder == AV_FIELD_TT || fieldOrder == AV_FIELD_BB || fieldOrder == AV_FIELD_TB ||
           fieldOrder == AV_FIELD_BT;
}

void TakeHeaderFieldOrder(AVFrame* f, int fieldOrder, int codecId)
{
    if (f->interlaced_frame || !FieldOrderSaysInterlaced(fieldOrder) || !FieldOrderFromContainer(codecId))
        return;
    f->interlaced_frame = 1;
    f->top_field_first = (fieldOrder == AV_FIELD_TT || fieldOrder == AV_FIELD_TB) ? 1 : 0;
}

} // namespace rm::converter
