#pragma once

// The errors of every image-file codec of the system. Their text is the
// message, ": " and the subject (the file or format concerned; may be empty,
// which leaves a trailing ": "). An error may also carry the reason a codec
// gave (what failed); once a subject names the file, the text is the
// message, ": ", the reason, ": " and the subject.

#include <cstdint>
#include <exception>
#include <string>

namespace img {

// Default visibility: the errors are thrown inside the shared libraries and
// caught by type in the program.
class [[gnu::visibility("default")]] io_error : public std::exception
{
public:
    io_error(std::string message, std::string subject, std::string reason = {});

    const char* what() const noexcept override;
    const std::string& message() const noexcept
    {
        return m_message;
    }
    const std::string& subject() const noexcept
    {
        return m_subject;
    }
    // What failed, in the codec's words; may be empty.
    const std::string& reason() const noexcept
    {
        return m_reason;
    }
    // Readers that work on a stream leave the subject empty; the function
    // that opened the file names it before the error passes on.
    void set_subject(std::string subject);

private:
    void compose();

    std::string m_message;
    std::string m_subject;
    std::string m_reason;
    std::string m_what;
};

// An image whose size passes the limits of what is read (see
// check_image_size). Its message says only that: "the image is too large: "
// with the size and the limit, then ": " and the file, whichever reader
// refused it, since the file is no less readable than others of its format.
class [[gnu::visibility("default")]] too_large : public io_error
{
public:
    explicit too_large(std::string text, std::string subject = {});
};

// A file variant the reader does not take. `mode` says which check failed
// (0 file type, 1 compression, 2 bit depth, 3 interleaving, 4 negative width,
// 6 TGA pixel depth); `value` is the offending field.
class [[gnu::visibility("default")]] unsupported : public io_error
{
public:
    unsupported(std::int32_t mode, std::int32_t value, std::string subject = {});

    std::int32_t mode() const noexcept
    {
        return m_mode;
    }
    std::int32_t value() const noexcept
    {
        return m_value;
    }

private:
    std::int32_t m_mode;
    std::int32_t m_value;
};

// A file whose contents contradict themselves. `mode` 0: a true-colour TGA
// with a colour map; 1: a colour index outside the palette (`value` the index).
class [[gnu::visibility("default")]] corrupt : public io_error
{
public:
    corrupt(std::int32_t mode, std::int32_t value, std::string subject = {});

    std::int32_t mode() const noexcept
    {
        return m_mode;
    }
    std::int32_t value() const noexcept
    {
        return m_value;
    }

private:
    std::int32_t m_mode;
    std::int32_t m_value;
};

} // namespace img
