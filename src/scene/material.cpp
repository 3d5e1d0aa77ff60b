#include "material.h"

#include <algorithm>
#include <cstring>

namespace cantorix::scene {

void TGLTexture::setImage(Image image) {
    m_image = std::move(image);
    changed();
}

void TGLTexture::setImageBrightness(float b) {
    if (b != m_brightness) {
        m_brightness = b;
        changed();
    }
}

void TGLTexture::setImageGamma(float g) {
    if (g != m_gamma) {
        m_gamma = g;
        changed();
    }
}

void TGLTexture::setTransparentFromTopLeft(bool on) {
    if (on != m_transparentTopLeft) {
        m_transparentTopLeft = on;
        changed();
    }
}

void TGLTexture::setFilters(TextureFilter minFilter, TextureFilter magFilter) {
    m_minFilter = minFilter;
    m_magFilter = magFilter;
    changed();
}

void TGLTexture::setMode(TextureMode mode) {
    m_mode = mode;
    changed();
}

Image TGLTexture::adjustedImage() const {
    Image out = adjustBrightnessGamma(m_image, m_brightness, m_gamma);
    if (m_transparentTopLeft && !m_image.empty()) {
        // The key colour is taken from the original picture, before brightness and gamma.
        const std::uint8_t* key = m_image.pixel(0, 0);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                if (std::memcmp(m_image.pixel(x, y), key, 3) == 0)
                    out.pixel(x, y)[3] = 0;
    }
    return out;
}

TGLMaterialLibrary::TGLMaterialLibrary(std::string name, ImageLoader& loader,
                                       std::filesystem::path baseDirectory)
    : m_name(std::move(name)), m_loader(loader), m_base(std::move(baseDirectory)) {}

TGLLibMaterial* TGLMaterialLibrary::materialByName(std::string_view name) const {
    for (const auto& m : m_materials)
        if (m->name() == name)
            return m.get();
    return nullptr;
}

TGLLibMaterial& TGLMaterialLibrary::addMaterial(std::string name) {
    if (TGLLibMaterial* existing = materialByName(name))
        return *existing;
    m_materials.push_back(std::make_unique<TGLLibMaterial>(std::move(name)));
    ++m_structureRevision;
    return *m_materials.back();
}

TGLLibMaterial& TGLMaterialLibrary::addTextureMaterial(std::string name,
                                                       const std::filesystem::path& fileName) {
    Image image = m_loader.load(resolve(fileName));
    return addTextureMaterial(std::move(name), std::move(image), fileName);
}

TGLLibMaterial& TGLMaterialLibrary::addTextureMaterial(std::string name, Image image,
                                                       std::filesystem::path fileName) {
    auto material = std::make_unique<TGLLibMaterial>(name);
    TGLTexture& texture = material->texture();
    texture.setFileName(std::move(fileName));
    texture.setImage(std::move(image));
    texture.setFilters(TextureFilter::LinearMipmap, TextureFilter::Linear);
    texture.setMode(TextureMode::Modulate);
    auto same = std::find_if(m_materials.begin(), m_materials.end(),
                             [&](const auto& m) { return m->name() == name; });
    if (same != m_materials.end()) {
        // Keep the library's revision growing: the viewer compares it with the last frame's.
        m_structureRevision += (*same)->revision();
        *same = std::move(material);
    } else
        m_materials.push_back(std::move(material));
    ++m_structureRevision;
    return *materialByName(name);
}

void TGLMaterialLibrary::clear() {
    for (const auto& m : m_materials)
        m_structureRevision += m->revision();
    m_materials.clear();
    ++m_structureRevision;
}

std::filesystem::path TGLMaterialLibrary::resolve(const std::filesystem::path& fileName) const {
    return fileName.is_absolute() ? fileName : m_base / fileName;
}

std::uint64_t TGLMaterialLibrary::revision() const {
    std::uint64_t sum = m_structureRevision;
    for (const auto& m : m_materials)
        sum += m->revision();
    return sum;
}

} // namespace cantorix::scene
