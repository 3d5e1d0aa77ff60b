#pragma once
// Double dispatch over the node kinds, used by the renderer. Each visit defaults to nothing.

namespace cantorix::scene {

class TGLBaseSceneObject;
class TGLDummyCube;
class TGLCamera;
class TGLLightSource;
class TGLHUDSprite;
class TGLHUDText;
class TGLCube;
class TGLAviPlane;
class TGLBaseControl;
class TGLForm;
class TGLPanel;
class TGLLabel;
class TGLButton;
class TGLEdit;
class TGLScrollbar;

class NodeVisitor {
public:
    virtual ~NodeVisitor() = default;
    virtual void visit(TGLBaseSceneObject&) {}
    virtual void visit(TGLDummyCube&) {}
    virtual void visit(TGLCamera&) {}
    virtual void visit(TGLLightSource&) {}
    virtual void visit(TGLHUDSprite&) {}
    virtual void visit(TGLHUDText&) {}
    virtual void visit(TGLCube&) {}
    virtual void visit(TGLAviPlane&) {}
    virtual void visit(TGLBaseControl&) {}
    virtual void visit(TGLForm&) {}
    virtual void visit(TGLPanel&) {}
    virtual void visit(TGLLabel&) {}
    virtual void visit(TGLButton&) {}
    virtual void visit(TGLEdit&) {}
    virtual void visit(TGLScrollbar&) {}
};

} // namespace cantorix::scene
