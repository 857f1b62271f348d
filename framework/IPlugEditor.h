// The operations the plug-in base calls on its editor. The editor
// framework's IGraphics derives from this interface and implements them;
// keeping it here lets the framework core build and be tested without the
// editor, and keeps the dependency running from editor to framework only.
#pragma once

class IPlugEditor
{
public:
  // Deleted by the plug-in base that owns the editor.
  virtual ~IPlugEditor() = default;

  // Hands the editor the value of parameter paramIdx: normalized (0..1) when
  // `normalized`, else plain. Called with the plug-in mutex held, from
  // whatever thread changed the parameter.
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;

  // Prepares the back buffer before the first drawing pass. Called once by
  // IPlugBase::AttachGraphics, with the plug-in mutex held.
  virtual void PrepDraw() = 0;
};
