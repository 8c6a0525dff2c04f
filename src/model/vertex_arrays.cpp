#include "model/vertex_arrays.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <vector>

namespace zentarra {

namespace {

// n / 2^shift: the power taken in double, the quotient rounded once to float.
// For the shifts a file can hold (a byte) 2^-shift is a normal double, so
// multiplying by it is exactly the division; it is built from its bits
// because ldexp costs more than the rest of the decoding.
bool IsByteShift(int shift)
{
	return shift >= 0 && shift <= 255;
}

double InverseShift(int shift)
{
	return std::bit_cast<double>(std::uint64_t(1023 - shift) << 52);
}

float Scaled(int n, double inverse)
{
	return float(double(n) * inverse);
}

float Unshift(int n, int shift)
{
	if (!IsByteShift(shift))
		return float(double(n) / std::ldexp(1.0, shift));
	return Scaled(n, InverseShift(shift));
}

// Bytes of one component.
std::size_t ComponentWidth(int format)
{
	return format == 2 || format == 3 ? 2 : format == 4 ? 4 : 1;
}

// Fills the entries with the components `component(k)` gives, k counting on
// across entries; components not stored are 0.
template <std::size_t N, class Component>
void FillEntries(std::span<std::array<float, N>> entries, std::size_t components, Component component)
{
	std::size_t k = 0;
	for (std::array<float, N>& entry : entries) {
		for (std::size_t c = 0; c < components; ++c)
			entry[c] = component(k++);
		for (std::size_t c = components; c < N; ++c)
			entry[c] = 0.0f;
	}
}

// Entries of N floats with `components` of them stored each. The room is
// checked once for the whole run; a run the view does not hold is read one
// component at a time, so what is there is kept and the rest reads as 0.
template <std::size_t N>
void ReadEntries(ByteView& file, std::span<std::array<float, N>> entries, std::size_t components, int format, int shift)
{
	const std::size_t at = file.tell();
	const std::uint8_t* p = file.take(entries.size() * components * ComponentWidth(format));
	if (!p || !IsByteShift(shift)) {
		file.seek(at);
		FillEntries(entries, components, [&](std::size_t) { return ReadCoord(file, format, shift); });
		return;
	}
	const double inverse = InverseShift(shift);
	switch (format) {
	case 1:
		FillEntries(entries, components, [&](std::size_t k) { return Scaled(std::int8_t(p[k]), inverse); });
		break;
	case 2:
		FillEntries(entries, components, [&](std::size_t k) { return Scaled(p[2 * k] << 8 | p[2 * k + 1], inverse); });
		break;
	case 3:
		FillEntries(entries, components,
			[&](std::size_t k) { return Scaled(std::int16_t(p[2 * k] << 8 | p[2 * k + 1]), inverse); });
		break;
	case 4:
		FillEntries(entries, components, [&](std::size_t k) {
			const std::uint8_t* q = p + 4 * k;
			return std::bit_cast<float>(
				std::uint32_t(q[0]) << 24 | std::uint32_t(q[1]) << 16 | std::uint32_t(q[2]) << 8 | q[3]);
		});
		break;
	default:
		FillEntries(entries, components, [&](std::size_t k) { return Scaled(p[k], inverse); });
		break;
	}
}

// c / max in double, rounded once to float.
float Channel(std::uint32_t c, double max)
{
	return float(double(c) / max);
}

// Index of one attribute: two bytes for a 16-bit index, one otherwise.
std::size_t IndexAt(const std::uint8_t*& p, int width)
{
	if (width == 2) {
		const std::size_t index = std::size_t(p[0]) << 8 | p[1];
		p += 2;
		return index;
	}
	return *p++;
}

std::size_t IndexWidth(int size)
{
	return size == 0 ? 0 : size == 2 ? 2 : 1;
}

template <std::size_t N>
void Fill(float* out, float value)
{
	for (std::size_t k = 0; k < N; ++k)
		out[k] = value;
}

} // namespace

float ReadCoord(ByteView& file, int format, int shift)
{
	switch (format) {
	case 1:
		return Unshift(std::int8_t(R8next(file)), shift);
	case 2:
		return Unshift(R16next(file), shift);
	case 3:
		return Unshift(std::int16_t(R16next(file)), shift);
	case 4:
		return RFloatnext(file); // floats ignore the shift
	default:
		return Unshift(R8next(file), shift);
	}
}

void ReadCoords(ByteView& file, std::span<Vec3> entries, int components, int format, int shift)
{
	ReadEntries(file, entries, components == 2 ? 2 : 3, format, shift);
}

void ReadCoords(ByteView& file, std::span<Vec2> entries, int format, int shift)
{
	ReadEntries(file, entries, 2, format, shift);
}

void ReadColors(ByteView& file, std::span<Vec4> colours, int format)
{
	for (Vec4& c : colours) {
		switch (format) {
		case 0: { // RGB565
			const std::uint32_t v = R16next(file);
			c = {Channel(v >> 11, 31), Channel(v >> 5 & 0x3F, 63), Channel(v & 0x1F, 31), 1.0f};
			break;
		}
		case 1: { // RGB8
			const std::uint32_t v = R24next(file);
			c = {Channel(v >> 16, 255), Channel(v >> 8 & 0xFF, 255), Channel(v & 0xFF, 255), 1.0f};
			break;
		}
		case 2: { // RGBX8: the fourth byte is padding, not alpha
			const std::uint32_t v = R32next(file);
			c = {Channel(v >> 24, 255), Channel(v >> 16 & 0xFF, 255), Channel(v >> 8 & 0xFF, 255), 1.0f};
			break;
		}
		case 3: { // RGBA4
			const std::uint32_t v = R16next(file);
			c = {Channel(v >> 12, 15), Channel(v >> 8 & 0xF, 15), Channel(v >> 4 & 0xF, 15), Channel(v & 0xF, 15)};
			break;
		}
		case 4: { // RGBA6, 24 bits
			const std::uint32_t v = R24next(file);
			c = {Channel(v >> 18, 63), Channel(v >> 12 & 0x3F, 63), Channel(v >> 6 & 0x3F, 63), Channel(v & 0x3F, 63)};
			break;
		}
		default: { // RGBA8
			const std::uint32_t v = R32next(file);
			c = {Channel(v >> 24, 255), Channel(v >> 16 & 0xFF, 255), Channel(v >> 8 & 0xFF, 255),
				Channel(v & 0xFF, 255)};
			break;
		}
		}
	}
}

VertexDecoder::VertexDecoder(const BRMDL& model, const MeshInfo& mesh, const NB& nb)
	: mtxCount_(nb.mtxCount > 0 ? std::size_t(nb.mtxCount) : 0), node_(mesh.node)
{
	// an array the mesh names but the model lacks keeps no entries: every index is beyond it
	auto bind = [](auto& source, const auto& arrays, int array, int width) {
		source.width = width;
		if (std::size_t(array) < arrays.size()) {
			source.entries = arrays[std::size_t(array)].data();
			source.count = arrays[std::size_t(array)].size();
		}
	};
	// the position index is always there: a direct or absent position reads as an 8-bit index
	bind(pos_, model.vtx, mesh.vtxArray, nb.posSize == 2 ? 2 : 1);
	bind(nrm_, model.nrm, mesh.nrmArray, int(IndexWidth(nb.nrmSize)));
	bind(clr_, model.clr, mesh.clrArray, int(IndexWidth(nb.clrSize)));
	bind(uv_, model.uv, mesh.uvArray[0], int(IndexWidth(nb.texSize[0])));
	for (int channel = 1; channel < 8; ++channel)
		otherChannels_ += IndexWidth(nb.texSize[channel]);
	size_ = mtxCount_ + std::size_t(pos_.width + nrm_.width + clr_.width + uv_.width) + otherChannels_;
}

bool VertexDecoder::Decode(const std::uint8_t* p, const MatrixTable& matrices, Vertex& out) const
{
	bool sound = true;
	// Entry `index` of the source into `to`, or zeros for an index beyond it.
	auto fetch = [&sound](const auto& source, std::size_t index, float* to) {
		constexpr std::size_t n = std::tuple_size_v<std::remove_pointer_t<decltype(source.entries)>>;
		if (index < source.count) {
			const auto& entry = source.entries[index];
			for (std::size_t k = 0; k < n; ++k)
				to[k] = entry[k];
		} else {
			Fill<n>(to, 0.0f);
			sound = false;
		}
	};

	// the first matrix index addresses rows of the matrix memory, three per
	// matrix; the texture channels' matrix indices are not used
	std::size_t slot = 0;
	if (mtxCount_ > 0) {
		slot = p[0] / 3u;
		p += mtxCount_;
	}

	const std::size_t position = IndexAt(p, pos_.width);
	out.posIndex = int(position);
	fetch(pos_, position, out.pos);

	if (nrm_.width != 0) {
		const std::size_t normal = IndexAt(p, nrm_.width);
		out.nrmIndex = int(normal);
		fetch(nrm_, normal, out.nrm);
	} else {
		out.nrmIndex = -2;
		Fill<3>(out.nrm, 0.0f);
	}

	if (clr_.width != 0)
		fetch(clr_, IndexAt(p, clr_.width), out.color);
	else
		Fill<4>(out.color, 1.0f);

	// only channel 0 is kept; the others' indices follow it and are passed over
	if (uv_.width != 0) {
		const std::size_t uv = IndexAt(p, uv_.width);
		out.uvIndex = int(uv);
		fetch(uv_, uv, out.uv);
	} else {
		out.uvIndex = -1;
		Fill<2>(out.uv, 0.0f);
	}

	if (node_ != -1) {
		out.node = node_;
	} else if (slot < matrices.size()) {
		out.node = matrices[slot];
	} else {
		out.node = 0; // past the table: no matrix was ever loaded there
		sound = false;
	}
	Fill<3>(out.posedPos, 0.0f);
	Fill<3>(out.posedNrm, 0.0f);
	return sound;
}

Vertex ReadVertex(ByteView& file, const BRMDL& model, const MeshInfo& mesh, const NB& nb, const MatrixTable& matrices)
{
	const VertexDecoder decoder(model, mesh, nb);
	const std::size_t at = file.tell();
	Vertex v;
	if (const std::uint8_t* p = file.take(decoder.size())) {
		if (!decoder.Decode(p, matrices, v))
			file.markDamaged();
		return v;
	}
	// the view ends inside the vertex (take marked it): the missing bytes read as 0
	std::vector<std::uint8_t> padded(decoder.size(), 0);
	const std::size_t present = std::min(file.remaining(at), padded.size());
	std::copy_n(file.bytes().data() + std::min(at, file.size()), present, padded.begin());
	decoder.Decode(padded.data(), matrices, v);
	return v;
}

} // namespace zentarra
