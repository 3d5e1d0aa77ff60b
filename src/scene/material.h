#pragma once
// Named materials and the libraries that hold them. A texture keeps its decoded picture and the
// run-time image brightness and gamma; the renderer uploads the adjusted picture again whenever
// the texture's revision changes. Main thread only.

#include "colour.h"
#include "image.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::scene {

enum class BlendingMode { Opaque, Transparency, Additive, AlphaTest };
enum class TextureFilter { Nearest, Linear, LinearMipmap };
enum class TextureMode { Modulate, Replace };

class TGLTexture {
public:
    bool hasImage() const { return !m_image.empty(); }
    const Image& image() const { return m_image; }
    // Replaces the picture; when transparentFromTopLeft is set, every pixel of the top-left
    // pixel's colour gets alpha 0.
    void setImage(Image image);
    const std::filesystem::path& fileName() const { return m_fileName; }
    void setFileName(std::filesystem::path f) { m_fileName = std::move(f); }

    float imageBrightness() const { return m_brightness; }
    void setImageBrightness(float b);
    float imageGamma() const { return m_gamma; }
    void setImageGamma(float g);
    // The picture with brightness, gamma and the transparent colour applied: what is uploaded.
    Image adjustedImage() const;

    bool transparentFromTopLeft() const { return m_transparentTopLeft; }
    void setTransparentFromTopLeft(bool on);
    TextureFilter minFilter() const { return m_minFilter; }
    TextureFilter magFilter() const { return m_magFilter; }
    void setFilters(TextureFilter minFilter, TextureFilter magFilter);
    TextureMode mode() const { return m_mode; }
    void setMode(TextureMode mode);

    std::uint64_t revision() const { return m_revision; }

private:
    void changed() { ++m_revision; }

    std::filesystem::path m_fileName;
    Image m_image;
    float m_brightness = 1.0f;
    float m_gamma = 1.0f;
    bool m_transparentTopLeft = false;
    TextureFilter m_minFilter = TextureFilter::LinearMipmap;
    TextureFilter m_magFilter = TextureFilter::Linear;
    TextureMode m_mode = TextureMode::Modulate;
    std::uint64_t m_revision = 1;
};

class TGLLibMaterial {
public:
    explicit TGLLibMaterial(std::string name) : m_name(std::move(name)) {}
    const std::string& name() const { return m_name; }

    TGLTexture& texture() { return m_texture; }
    const TGLTexture& texture() const { return m_texture; }

    ColorF diffuse() const { return m_diffuse; }
    void setDiffuse(ColorF c) {
        m_diffuse = c;
        ++m_revision;
    }
    BlendingMode blending() const { return m_blending; }
    void setBlending(BlendingMode mode) {
        m_blending = mode;
        ++m_revision;
    }
    // For AlphaTest: fragments whose alpha is below the threshold (0 … 1) are dropped.
    float alphaThreshold() const { return m_alphaThreshold; }
    void setAlphaThreshold(float t) {
        m_alphaThreshold = t;
        ++m_revision;
    }
    bool lightingOff() const { return m_lightingOff; }
    void setLightingOff(bool off) {
        m_lightingOff = off;
        ++m_revision;
    }

    std::uint64_t revision() const { return m_revision + m_texture.revision(); }

private:
    std::string m_name;
    TGLTexture m_texture;
    ColorF m_diffuse{1, 1, 1, 1};
    BlendingMode m_blending = BlendingMode::Opaque;
    float m_alphaThreshold = 0.5f;
    bool m_lightingOff = false;
    std::uint64_t m_revision = 0;
};

class TGLMaterialLibrary {
public:
    // Relative picture paths are resolved against baseDirectory (the program directory).
    TGLMaterialLibrary(std::string name, ImageLoader& loader, std::filesystem::path baseDirectory);

    const std::string& name() const { return m_name; }
    TGLLibMaterial* materialByName(std::string_view name) const;
    TGLLibMaterial& addMaterial(std::string name);
    // Loads the picture at once (EImageError if it cannot) with linear-mipmap minification,
    // linear magnification and modulate mode. An existing material of that name is replaced.
    TGLLibMaterial& addTextureMaterial(std::string name, const std::filesystem::path& fileName);
    // The same with a picture already decoded (the cover loader decodes on worker threads).
    TGLLibMaterial& addTextureMaterial(std::string name, Image image,
                                       std::filesystem::path fileName = {});
    int count() const { return static_cast<int>(m_materials.size()); }
    TGLLibMaterial& material(int index) const {
        return *m_materials.at(static_cast<std::size_t>(index));
    }
    void clear();

    ImageLoader& loader() const { return m_loader; }
    std::filesystem::path resolve(const std::filesystem::path& fileName) const;
    // Changes when a material is added, removed or changed.
    std::uint64_t revision() const;

private:
    std::string m_name;
    ImageLoader& m_loader;
    std::filesystem::path m_base;
    std::vector<std::unique_ptr<TGLLibMaterial>> m_materials;
    std::uint64_t m_structureRevision = 0;
};

// How a node names its material: a library and a material name looked up when drawn.
struct MaterialRef {
    TGLMaterialLibrary* library = nullptr;
    std::string name;
    TGLLibMaterial* resolve() const { return library ? library->materialByName(name) : nullptr; }
    friend bool operator==(const MaterialRef&, const MaterialRef&) = default;
};

} // namespace cantorix::scene
