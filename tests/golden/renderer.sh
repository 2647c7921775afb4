# The renderer the golden frames are made on and compared on (sourced by
# tests/e2e/golden_frames.sh and scripts/update-golden.sh): Mesa's llvmpipe. Other
# drivers, softpipe included, round differently and differ in a few per cent of pixels.
# Mesa is asked for llvmpipe unless the caller chose a driver itself, and glvnd for
# Mesa's EGL where it could pick another vendor's.
export GALLIUM_DRIVER=${GALLIUM_DRIVER:-llvmpipe}
export LIBGL_ALWAYS_SOFTWARE=1
# They are pictures of the GL path, which llvmpipe would otherwise hand to the
# processor path (gl.PainterlyPaths compares the two).
export SUNMARROW_PAINTER=gl
if [ -z "${__EGL_VENDOR_LIBRARY_FILENAMES:-}" ]; then
  for json in /usr/share/glvnd/egl_vendor.d/50_mesa.json /etc/glvnd/egl_vendor.d/50_mesa.json; do
    if [ -f "$json" ]; then export __EGL_VENDOR_LIBRARY_FILENAMES=$json; break; fi
  done
fi

# golden_renderer CAPTURE_TOOL: GOLDEN_RENDERER is the GL renderer the capture tool
# lands on; status 0 when that is llvmpipe.
golden_renderer() {
  GOLDEN_RENDERER=$("$1" renderer 2>&1 | tail -n 1)
  [[ "$GOLDEN_RENDERER" == llvmpipe* ]]
}
