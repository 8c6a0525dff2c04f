// zentarra-cli: the command-line front of the BRRES viewer's core.
#include "cli/export_all_command.h"
#include "cli/export_anim_command.h"
#include "cli/export_model_command.h"
#include "cli/export_texture_command.h"
#include "cli/info_command.h"
#include "cli/list_command.h"
#include "cli/render_command.h"
#include "cli/unpack_command.h"
#include "view/front.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <iostream>

namespace {

// The MTL library goes beside the OBJ with its last three characters
// replaced, so anything but a ".obj" name would give it a strange name.
std::string EndsInObj(const std::string& path)
{
	std::string extension = path.size() > 4 ? path.substr(path.size() - 4) : "";
	for (char& c : extension)
		c = char(std::tolower(static_cast<unsigned char>(c)));
	return extension == ".obj" ? std::string() : "the output file's name must end in .obj";
}

} // namespace

int main(int argc, char** argv)
{
	CLI::App app{"Lists and converts BRRES archives (Wii models, textures, animations)", "zentarra-cli"};
	app.require_subcommand(1);
	app.set_version_flag("--version", std::string(zentarra::kProgramVersion));

	zentarra::cli::ListOptions list;
	CLI::App* listCommand = app.add_subcommand("list", "Show each file's archives, folders and entries");
	listCommand->add_flag("--json", list.json, "Print one JSON document instead of text");
	listCommand->add_flag("--full-path", list.fullPath, "Name archives by their full path");
	listCommand->add_option("ARCHIVE", list.files, "Archive files to read")->required();

	zentarra::cli::InfoOptions info;
	CLI::App* infoCommand = app.add_subcommand("info", "Show what the models of an archive file hold");
	infoCommand->add_flag("--json", info.json, "Print one JSON document instead of text");
	infoCommand->add_option("ARCHIVE", info.archive, "Archive file to read")->required();
	infoCommand->add_option("MODEL", info.models, "Models to show, by entry name or folder/name (default: all)");

	zentarra::cli::ExportModelOptions exportModel;
	exportModel.format = "obj";
	CLI::App* exportModelCommand = app.add_subcommand("export-model",
		"Write a model, in its bind pose or an animation's, as OBJ (with its MTL library beside it), PSK, MD5, "
		"or glTF with its animations (glb: one file; gltf: with its .bin buffer and PNG images beside it)");
	exportModelCommand->add_option("ARCHIVE", exportModel.archive, "Archive file to read")->required();
	exportModelCommand->add_option("MODEL", exportModel.model, "The model, by entry name or folder/name")->required();
	exportModelCommand->add_option("-f,--format", exportModel.format, "Output format")
		->check(CLI::IsMember({"obj", "psk", "md5", "glb", "gltf"}))
		->capture_default_str();
	exportModelCommand->add_option("-o,--output", exportModel.output, "Output file (.obj for OBJ)")->required();
	CLI::Option* animOption = exportModelCommand->add_option("--anim", exportModel.anims,
		"Bone animation to pose the model with, or for glTF to embed (repeatable): a CHR0 entry, or OTHER.brres:NAME")
		->allow_extra_args(false);
	exportModelCommand->add_option("--vanim", exportModel.vanims,
		"glTF: vertex animation to embed as morph targets (repeatable): an SHP0 entry, or OTHER.brres:NAME")
		->allow_extra_args(false);
	exportModelCommand->add_option("--fps", exportModel.fps, "glTF: animation frames per second")
		->capture_default_str()
		->check(CLI::PositiveNumber);
	CLI::Option* frameOption = exportModelCommand->add_option("--frame", exportModel.frame,
		"The animation's frame; for glTF, a still of the first animation at that frame instead of animations")
		->capture_default_str()
		->needs(animOption);
	exportModelCommand->add_flag("--textures", exportModel.textures,
		"Also write the materials' textures as TGA beside the model file, replacing old ones");

	zentarra::cli::ExportTextureOptions exportTexture;
	exportTexture.format = "png";
	CLI::App* exportTextureCommand = app.add_subcommand("export-texture", "Write a texture as a PNG or TGA image");
	exportTextureCommand->add_option("ARCHIVE", exportTexture.archive, "Archive file to read")->required();
	exportTextureCommand->add_option("TEXTURE", exportTexture.texture, "The texture, by entry name or folder/name")
		->required();
	exportTextureCommand->add_option("-f,--format", exportTexture.format, "Output format")
		->check(CLI::IsMember({"png", "tga"}))
		->capture_default_str();
	exportTextureCommand->add_option("-o,--output", exportTexture.output, "Output file")->required();
	exportTextureCommand->add_option("--palette", exportTexture.palette,
		"PLT0 entry to decode a colour-indexed texture with (default: the one named like the texture)");

	zentarra::cli::ExportAnimOptions exportAnim;
	exportAnim.format = "psa";
	CLI::App* exportAnimCommand = app.add_subcommand("export-anim", "Write a bone animation as PSA or MD5");
	exportAnimCommand->add_option("ARCHIVE", exportAnim.archive, "Archive file to read")->required();
	exportAnimCommand->add_option("CHR0", exportAnim.anim, "The animation, by entry name or folder/name")->required();
	exportAnimCommand->add_option("-f,--format", exportAnim.format, "Output format")
		->check(CLI::IsMember({"psa", "md5"}))
		->capture_default_str();
	exportAnimCommand->add_option("-o,--output", exportAnim.output, "Output file")->required();
	exportAnimCommand->add_option("--model", exportAnim.model,
		"The model it plays on: an MDL0 entry, or OTHER.brres:NAME (needed for MD5)");

	zentarra::cli::ExportAllCommandOptions exportAll;
	CLI::App* exportAllCommand = app.add_subcommand("export-all",
		"Write every texture, model and animation of the archives into exported/ folders beside them");
	exportAllCommand->add_option("ARCHIVE", exportAll.archives, "Archive files to read")->required();
	exportAllCommand->add_option("--textures", exportAll.textures,
			"none, png, tga (every texture), or tga-auto (the textures of the exported models)")
		->check(CLI::IsMember({"none", "png", "tga", "tga-auto"}))
		->capture_default_str();
	exportAllCommand->add_option("--models", exportAll.models, "Model format")
		->check(CLI::IsMember({"none", "md5", "psk", "obj", "glb", "gltf"}))
		->capture_default_str();
	exportAllCommand->add_option("--anims", exportAll.anims, "Bone animation format")
		->check(CLI::IsMember({"none", "psa"}))
		->capture_default_str();
	exportAllCommand->add_flag("--overwrite", exportAll.overwrite, "Overwrite existing files");
	exportAllCommand->add_flag("--separate", exportAll.separate, "Separate files by type (textures/, animations/)");
	exportAllCommand->add_flag("--per-archive", exportAll.perArchive, "Create one folder for each archive file");
	exportAllCommand->add_option("--jobs", exportAll.jobs, "Threads (default: one per core)")
		->check(CLI::PositiveNumber);

	zentarra::cli::RenderOptions render;
	CLI::App* renderCommand = app.add_subcommand("render",
		"Draw a model offscreen as the viewer shows it after loading, and write it as a PNG image");
	renderCommand->add_option("ARCHIVE", render.archive, "Archive file to read")->required();
	renderCommand->add_option("MODEL", render.model, "The model, by entry name or folder/name")->required();
	renderCommand->add_option("-o,--output", render.output, "Output PNG file")->required();
	renderCommand->add_option("--size", render.size, "Image size, WIDTHxHEIGHT")->capture_default_str();
	renderCommand->add_option("--anim", render.anim,
		"Bone animation to pose the model with: a CHR0 entry, or OTHER.brres:NAME");
	renderCommand->add_option("--frame", render.frame, "The animation's frame")->capture_default_str()->needs("--anim");
	renderCommand->add_flag("--wireframe", render.wireframe, "Draw edges instead of filled faces");
	renderCommand->add_flag("--no-axes", render.noAxes, "Leave out the axes");
	renderCommand->add_flag("--no-lighting", render.noLighting, "Draw unlit");
	renderCommand->add_flag("--no-colors", render.noColors, "Draw white instead of the vertex colours");
	renderCommand->add_flag("--no-textures", render.noTextures, "Draw without textures");
	renderCommand->add_flag("--no-culling", render.noCulling, "Draw back faces of every mesh");
	renderCommand->add_flag("--center", render.center, "Center the model, as Enter does in the viewer");
	renderCommand->add_option("--rotate", render.rotate, "The model's turn and tilt in degrees, Z,Y (default -20,20)");
	renderCommand->add_option("--background", render.background, "Background colour R,G,B, 0 to 255 each");

	zentarra::cli::RenderTextureOptions renderTexture;
	CLI::App* renderTextureCommand = app.add_subcommand("render-texture",
		"Draw a texture (or with --palette-view a palette) offscreen as the viewer's texture view shows it");
	renderTextureCommand->add_option("ARCHIVE", renderTexture.archive, "Archive file to read")->required();
	renderTextureCommand->add_option("TEXTURE", renderTexture.texture, "The TEX0 entry (PLT0 with --palette-view)")
		->required();
	renderTextureCommand->add_option("-o,--output", renderTexture.output, "Output PNG file")->required();
	renderTextureCommand->add_flag("--palette-view", renderTexture.paletteView, "Show the palette TEXTURE names");
	renderTextureCommand->add_option("--channel", renderTexture.channel, "What to show")
		->check(CLI::IsMember({"normal", "colors", "alpha"}))
		->capture_default_str();
	renderTextureCommand->add_option("--zoom", renderTexture.zoom, "Scale, 1 for one texel per pixel")
		->capture_default_str();
	renderTextureCommand->add_option("--pan", renderTexture.pan, "Offset X,Y in the view's units (two per pixel)");
	renderTextureCommand->add_option("--size", renderTexture.size,
		"Image size, WIDTHxHEIGHT (default: the texture's power-of-two size)");
	renderTextureCommand->add_option("--palette", renderTexture.palette,
		"PLT0 entry loaded first, for colour-indexed textures without a palette of their name");
	renderTextureCommand->add_option("--background", renderTexture.background, "Background colour R,G,B, 0 to 255 each");

	zentarra::cli::UnpackOptions unpack;
	CLI::App* unpackCommand = app.add_subcommand("unpack",
		"Write the files of a Yaz0 or U8 container (.szs, .arc, .u8), decompressed, as a tree");
	unpackCommand->add_option("FILE", unpack.file, "The container")->required();
	unpackCommand->add_option("-o,--output", unpack.output, "The folder to write into")->required();

	try {
		app.parse(argc, argv);
	} catch (const CLI::CallForHelp& e) {
		return app.exit(e);
	} catch (const CLI::CallForAllHelp& e) {
		return app.exit(e);
	} catch (const CLI::ParseError& e) {
		app.exit(e);
		return 2;
	}

	if (*listCommand)
		return zentarra::cli::RunList(list, std::cout, std::cerr);
	if (*infoCommand)
		return zentarra::cli::RunInfo(info, std::cout, std::cerr);
	if (*exportModelCommand) {
		exportModel.posed = frameOption->count() > 0;
		if (exportModel.format == "obj" && !EndsInObj(exportModel.output).empty()) {
			std::cerr << "--output: " << EndsInObj(exportModel.output) << '\n';
			return 2;
		}
		return zentarra::cli::RunExportModel(exportModel, std::cout, std::cerr);
	}
	if (*exportAnimCommand)
		return zentarra::cli::RunExportAnim(exportAnim, std::cerr);
	if (*exportAllCommand)
		return zentarra::cli::RunExportAll(exportAll, std::cout, std::cerr);
	if (*renderCommand)
		return zentarra::cli::RunRender(render, std::cerr);
	if (*unpackCommand)
		return zentarra::cli::RunUnpack(unpack, std::cout, std::cerr);
	if (*renderTextureCommand)
		return zentarra::cli::RunRenderTexture(renderTexture, std::cerr);
	if (*exportTextureCommand)
		return zentarra::cli::RunExportTexture(exportTexture, std::cerr);
	return 2;
}
