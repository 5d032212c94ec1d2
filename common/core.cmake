target_sources(kelvra_core PRIVATE
  common/Vocabulary.cpp common/Vocabulary.h
)
