; The converted graphics and floors (made by gfxconv from rom/gfx and rom/floors).

.include "ember.inc"

.segment "RODATA"
.include "gfx_data.inc"

.segment "CHARS"
.incbin "ember.chr"
