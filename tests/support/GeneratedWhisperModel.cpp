#include "GeneratedWhisperModel.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QtEndian>

#include <ggml.h>

#include <cmath>
#include <vector>
#include <cstdint>
#include <cstring>

namespace {

// Tokens of the GPT-2 byte-pair vocabulary stored in the file; whisper adds the special
// tokens (end of text, languages, timestamps ...) up to the model's vocabulary size.
constexpr int textTokens = 50257;

class Writer {
public:
    Writer(QFile& file, unsigned seed, bool halfPrecision, ggml_type quantized)
        : m_file(file)
        , m_state(seed * 2654435761u + 1)
        , m_half(halfPrecision)
        , m_quantized(quantized)
    {
    }

    void int32(qint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        m_buffer.append(bytes, 4);
        flushIfLarge();
    }
    void float32(float value)
    {
        quint32 bits;
        std::memcpy(&bits, &value, 4);
        int32(qint32(bits));
    }
    void half(float value)
    {
        char bytes[2];
        qToLittleEndian(toHalf(value), bytes);
        m_buffer.append(bytes, 2);
        flushIfLarge();
    }
    void bytes(const QByteArray& data)
    {
        m_buffer.append(data);
        flushIfLarge();
    }

    float random(float scale)
    {
        // xorshift32: fast and reproducible.
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return (float(m_state) / 4294967295.0f * 2.0f - 1.0f) * scale;
    }

    enum class Fill { random, ones, zeros };

    // A tensor: dimensions in ggml order (fastest first); `matrix` tensors take the
    // model's weight type, the others are 32-bit floats.
    void tensor(const QByteArray& name, const QList<int>& dims, bool matrix, Fill fill = Fill::random,
        float scale = 0.05f, const QHash<qint64, float>& overrides = {})
    {
        const bool quantized = matrix && dims.size() == 2 && m_quantized != GGML_TYPE_COUNT;
        const bool half = matrix && m_half && !quantized;
        int32(dims.size());
        int32(name.size());
        int32(quantized ? int(m_quantized) : half ? 1 : 0);
        qint64 elements = 1;
        for (int dim : dims) {
            int32(dim);
            elements *= dim;
        }
        bytes(name);
        std::vector<float> values;
        for (qint64 i = 0; i < elements; ++i) {
            const float value = fill == Fill::ones ? 1.0f : fill == Fill::zeros ? 0.0f : random(scale);
            values.push_back(overrides.isEmpty() ? value : overrides.value(i, value));
        }
        if (quantized) {
            QByteArray packed(qsizetype(ggml_row_size(m_quantized, dims[0]) * size_t(dims[1])), Qt::Uninitialized);
            ggml_quantize_chunk(m_quantized, values.data(), packed.data(), 0, dims[1], dims[0], nullptr);
            bytes(packed);
            return;
        }
        for (const float value : values)
            half ? this->half(value) : float32(value);
    }

    bool finish()
    {
        flush();
        return m_ok;
    }

private:
    static quint16 toHalf(float value)
    {
        quint32 bits;
        std::memcpy(&bits, &value, 4);
        const quint16 sign = quint16((bits >> 16) & 0x8000);
        const int exponent = int((bits >> 23) & 0xff) - 127 + 15;
        const quint32 mantissa = bits & 0x7fffff;
        if (exponent <= 0)
            return sign; // tiny values become zero
        if (exponent >= 31)
            return quint16(sign | 0x7bff); // largest finite
        return quint16(sign | (exponent << 10) | (mantissa >> 13));
    }

    void flushIfLarge()
    {
        if (m_buffer.size() >= (1 << 20))
            flush();
    }
    void flush()
    {
        if (m_file.write(m_buffer) != m_buffer.size())
            m_ok = false;
        m_buffer.clear();
    }

    QFile& m_file;
    quint32 m_state;
    bool m_half;
    ggml_type m_quantized; // GGML_TYPE_COUNT: none
    bool m_ok = true;
    QByteArray m_buffer;
};

// `silent`: the block adds nothing to its input (zero output projections).
void block(Writer& out, const QByteArray& prefix, int state, bool cross, bool silent = false)
{
    using Fill = Writer::Fill;
    const Fill output = silent ? Fill::zeros : Fill::random;
    out.tensor(prefix + "mlp_ln.weight", { state }, false, Fill::ones);
    out.tensor(prefix + "mlp_ln.bias", { state }, false, Fill::zeros);
    out.tensor(prefix + "mlp.0.weight", { state, 4 * state }, true);
    out.tensor(prefix + "mlp.0.bias", { 4 * state }, false);
    out.tensor(prefix + "mlp.2.weight", { 4 * state, state }, true, output);
    out.tensor(prefix + "mlp.2.bias", { state }, false, output);
    const QList<QByteArray> attentions
        = cross ? QList<QByteArray> { "attn", "cross_attn" } : QList<QByteArray> { "attn" };
    for (const QByteArray& attention : attentions) {
        out.tensor(prefix + attention + "_ln.weight", { state }, false, Fill::ones);
        out.tensor(prefix + attention + "_ln.bias", { state }, false, Fill::zeros);
        out.tensor(prefix + attention + ".query.weight", { state, state }, true);
        out.tensor(prefix + attention + ".query.bias", { state }, false);
        out.tensor(prefix + attention + ".key.weight", { state, state }, true);
        out.tensor(prefix + attention + ".value.weight", { state, state }, true);
        out.tensor(prefix + attention + ".value.bias", { state }, false);
        out.tensor(prefix + attention + ".out.weight", { state, state }, true, output);
        out.tensor(prefix + attention + ".out.bias", { state }, false, output);
    }
}

} // namespace

bool writeGeneratedWhisperModel(const QString& path, const WhisperModelShape& shape, unsigned seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    using Quantization = WhisperModelShape::Quantization;
    const ggml_type quantized = shape.quantization == Quantization::q5_1 ? GGML_TYPE_Q5_1
        : shape.quantization == Quantization::q8_0                       ? GGML_TYPE_Q8_0
                                                                         : GGML_TYPE_COUNT;
    Writer out(file, seed, shape.halfPrecision, quantized);
    using Fill = Writer::Fill;

    // The file type of quantized models carries the quantization format's version.
    const int fileType = shape.quantization == Quantization::q5_1 ? GGML_QNT_VERSION * 1000 + GGML_FTYPE_MOSTLY_Q5_1
        : shape.quantization == Quantization::q8_0 ? GGML_QNT_VERSION * 1000 + GGML_FTYPE_MOSTLY_Q8_0
                                                   : (shape.halfPrecision ? 1 : 0);
    out.int32(0x67676d6c);
    for (int value : { shape.vocabulary, shape.audioContext, shape.audioState, shape.audioHeads,
             shape.audioLayers, shape.textContext, shape.textState, shape.textHeads, shape.textLayers,
             shape.mels, fileType })
        out.int32(value);

    // Mel filter bank: 80 (or 128) filters over 201 FFT bins.
    constexpr int fftBins = 201;
    out.int32(shape.mels);
    out.int32(fftBins);
    for (int i = 0; i < shape.mels * fftBins; ++i)
        out.float32(std::abs(out.random(0.02f)));

    out.int32(textTokens);
    for (int id = 0; id < textTokens; ++id) {
        // whisper looks up the token " " (id 220 in the real vocabulary) to suppress blanks.
        const QByteArray token = id == 220 ? QByteArray(" ") : " w" + QByteArray::number(id);
        out.int32(token.size());
        out.bytes(token);
    }

    const int audio = shape.audioState;
    out.tensor("encoder.positional_embedding", { audio, shape.audioContext }, false);
    out.tensor("encoder.conv1.weight", { 3, shape.mels, audio }, true);
    out.tensor("encoder.conv1.bias", { 1, audio }, false);
    out.tensor("encoder.conv2.weight", { 3, audio, audio }, true);
    out.tensor("encoder.conv2.bias", { 1, audio }, false);
    out.tensor("encoder.ln_post.weight", { audio }, false, Fill::ones);
    out.tensor("encoder.ln_post.bias", { audio }, false, Fill::zeros);
    for (int layer = 0; layer < shape.audioLayers; ++layer)
        block(out, "encoder.blocks." + QByteArray::number(layer) + '.', audio, false);

    const int text = shape.textState;
    const bool scripted = !shape.script.isEmpty();
    if (!scripted) {
        out.tensor("decoder.positional_embedding", { text, shape.textContext }, false);
        // Large token embeddings make ordinary tokens outweigh the timestamp tokens, so the
        // random model writes words instead of an empty transcript.
        out.tensor("decoder.token_embedding.weight", { text, shape.vocabulary }, true, Fill::random, 1.0f);
    } else {
        // With silent blocks the decoder's output at position p is the normalised sum of
        // the input token's embedding and position p's embedding. Each position gets a
        // large embedding along axis p, and the token to write at position p a large
        // weight on axis p, so its logit wins by far. The prompt is start-of-transcript,
        // language and task (positions 0-2): position 2 writes the first timestamp, the
        // script follows, then the 30 s timestamp, which ends the window.
        QHash<qint64, float> positions;
        for (int position = 0; position < shape.textContext; ++position)
            positions.insert(qint64(position) * text + position % text, 1000.0f);
        out.tensor(
            "decoder.positional_embedding", { text, shape.textContext }, false, Fill::zeros, 0, positions);
        constexpr int firstTimestamp = 50364; // multilingual vocabularies with 99 languages
        QHash<qint64, float> tokens;
        auto write
            = [&](int token, int position) { tokens.insert(qint64(token) * text + position % text, 10.0f); };
        write(firstTimestamp, 2);
        for (int i = 0; i < shape.script.size(); ++i)
            write(shape.script[i], 3 + i);
        write(firstTimestamp + 1500, 3 + int(shape.script.size()));
        out.tensor(
            "decoder.token_embedding.weight", { text, shape.vocabulary }, true, Fill::random, 0.01f, tokens);
    }
    out.tensor("decoder.ln.weight", { text }, false, Fill::ones);
    out.tensor("decoder.ln.bias", { text }, false, Fill::zeros);
    for (int layer = 0; layer < shape.textLayers; ++layer)
        block(out, "decoder.blocks." + QByteArray::number(layer) + '.', text, true, scripted);

    return out.finish() && file.flush();
}
