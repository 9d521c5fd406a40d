// The translation unit that carries the shared precompiled header (cmake/wip_pch.h).
