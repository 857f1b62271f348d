#include "tremolo/EditorSnapshot.h"

#include <memory>

#include "editor/IGraphics.h"
#include "raster/lice_png_write.h"
#include "tremolo/QuillbarTremolo.h"

bool WriteEditorSnapshot(IPlugBase* plug, const char* pngPath)
{
  return plug ? WriteEditorSnapshot(plug->GetGUI(), pngPath) : false;
}

bool WriteEditorSnapshot(IGraphics* gui, const char* pngPath)
{
  if (!gui || !pngPath || !gui->GetDrawBitmap()) return false;

  // A strict pass over the whole editor: every visible control is drawn,
  // background first, as a window's first paint would. The editor may be
  // live in a window, so its own drawing mode is put back afterwards.
  const bool wasStrict = gui->GetStrictDrawing();
  gui->SetStrictDrawing(true);
  IRECT all(0, 0, gui->Width(), gui->Height());
  const bool drawn = gui->Draw(&all);
  if (!wasStrict) gui->SetStrictDrawing(false);
  return drawn && LICE_WritePNG(pngPath, gui->GetDrawBitmap(), false);
}

bool WriteTremoloSnapshot(const char* presetName, const char* pngPath)
{
  std::unique_ptr<FormatAdapter> plug(MakePlug());
  if (!plug) return false;
  plug->SetSampleRate(44100.0);
  plug->Reset();
  plug->OnParamReset();
  if (presetName && presetName[0] && !plug->RestorePreset(presetName)) return false;
  return WriteEditorSnapshot(plug.get(), pngPath);
}
