#pragma once
// Base of every node of the retained scene: placement, visibility, the game's Tag and TagFloat,
// the owned children and a per-step progress event. Every change bumps a revision that climbs
// to the root, so the viewer can skip frames in which nothing changed. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::scene {

class NodeVisitor;

struct Vec3 {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

// x − 360 · round(x / 360), then ±360 once more if still outside −180 … 180.
float normalizeTurnAngle(float degrees);

class TGLBaseSceneObject {
public:
    using ProgressEvent = std::function<void(TGLBaseSceneObject& sender, double deltaTime)>;

    explicit TGLBaseSceneObject(std::string name = {});
    virtual ~TGLBaseSceneObject();
    TGLBaseSceneObject(const TGLBaseSceneObject&) = delete;
    TGLBaseSceneObject& operator=(const TGLBaseSceneObject&) = delete;

    const std::string& name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }

    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    // Visible and every ancestor visible.
    bool visibleInTree() const;

    Vec3 position() const { return m_position; }
    void setPosition(Vec3 p);
    Vec3 direction() const { return m_direction; }
    void setDirection(Vec3 d);
    Vec3 up() const { return m_up; }
    void setUp(Vec3 u);
    Vec3 scale() const { return m_scale; }
    void setScale(Vec3 s);
    // Rotation about the up axis in degrees, kept normalised to −180 … 180.
    float turnAngle() const { return m_turnAngle; }
    void setTurnAngle(float degrees);

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    float tagFloat() const { return m_tagFloat; }
    void setTagFloat(float value) { m_tagFloat = value; }

    TGLBaseSceneObject* parent() const { return m_parent; }
    int count() const { return static_cast<int>(m_children.size()); }
    TGLBaseSceneObject& child(int index) const {
        return *m_children.at(static_cast<std::size_t>(index));
    }
    template <class T, class... Args> T& addNewChild(Args&&... args) {
        auto node = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *node;
        adopt(std::move(node));
        return ref;
    }
    void deleteChildren();
    // Depth-first search of the subtree (not this node) for the first node of that name.
    TGLBaseSceneObject* findChild(std::string_view name) const;
    template <class T> T* find(std::string_view name) const {
        return dynamic_cast<T*>(findChild(name));
    }

    ProgressEvent onProgress;
    // Raises this node's progress event, then its children's, in order.
    virtual void doProgress(double deltaTime);

    virtual void accept(NodeVisitor& visitor);

    // Increases whenever this node or anything below it changes.
    std::uint64_t revision() const { return m_revision; }
    void touch();

protected:
    void adopt(std::unique_ptr<TGLBaseSceneObject> node);
    virtual void childAdded(TGLBaseSceneObject&) {}

private:
    std::string m_name;
    bool m_visible = true;
    Vec3 m_position{};
    Vec3 m_direction{0, 0, 1};
    Vec3 m_up{0, 1, 0};
    Vec3 m_scale{1, 1, 1};
    float m_turnAngle = 0;
    int m_tag = 0;
    float m_tagFloat = 0;
    TGLBaseSceneObject* m_parent = nullptr;
    std::vector<std::unique_ptr<TGLBaseSceneObject>> m_children;
    std::uint64_t m_revision = 0;
};

// Helper for setters: assigns and touches only on a real change.
template <class T> bool assignChanged(TGLBaseSceneObject& node, T& field, const T& value) {
    if (field == value)
        return false;
    field = value;
    node.touch();
    return true;
}

} // namespace cantorix::scene
