#pragma once
// The small forward DFTs one FFT pass applies to each group of values, in place on separate real
// and imaginary arrays. Internal to the FFT. T is double, or a vector of doubles that runs the
// same operations on several groups at once. The operation order of each butterfly is fixed,
// since bin magnitudes are later compared exactly.

namespace cantorix::pitch::butterfly {

// The decimal values are part of the results: they are used as written, not recomputed.
inline constexpr double kC31 = -1.5; // cos(2 pi / 3) - 1
inline constexpr double kC32 = 0.86602540378444;
inline constexpr double kC51 = -1.25; // (cos u + cos 2u) / 2 - 1, u = 2 pi / 5
inline constexpr double kC52 = 0.55901699437495;
inline constexpr double kC53 = -0.95105651629515;
inline constexpr double kC54 = -1.5388417685876;
inline constexpr double kC55 = 0.36327126400268;
inline constexpr double kC81 = 0.70710678118655;

// (re, im) := (gRe, gIm) * (re, im)
template <class T> inline void turn(T& re, T& im, const T& gRe, const T& gIm) {
    const T r = gRe * re - gIm * im;
    im = gRe * im + gIm * re;
    re = r;
}

struct Radix2 {
    template <class T> static void apply(T* re, T* im) {
        const T aRe = re[0], aIm = im[0], bRe = re[1], bIm = im[1];
        re[0] = aRe + bRe;
        im[0] = aIm + bIm;
        re[1] = aRe - bRe;
        im[1] = aIm - bIm;
    }
};

struct Radix3 {
    template <class T> static void apply(T* re, T* im) {
        const T t1Re = re[1] + re[2], t1Im = im[1] + im[2];
        const T y0Re = re[0] + t1Re, y0Im = im[0] + t1Im;
        const T m1Re = kC31 * t1Re, m1Im = kC31 * t1Im;
        const T m2Re = kC32 * (im[1] - im[2]);
        const T m2Im = kC32 * (re[2] - re[1]);
        const T s1Re = y0Re + m1Re, s1Im = y0Im + m1Im;
        re[0] = y0Re;
        im[0] = y0Im;
        re[1] = s1Re + m2Re;
        im[1] = s1Im + m2Im;
        re[2] = s1Re - m2Re;
        im[2] = s1Im - m2Im;
    }
};

struct Radix4 {
    template <class T> static void apply(T* re, T* im) {
        const T t1Re = re[0] + re[2], t1Im = im[0] + im[2];
        const T t2Re = re[1] + re[3], t2Im = im[1] + im[3];
        const T m2Re = re[0] - re[2], m2Im = im[0] - im[2];
        const T m3Re = im[1] - im[3], m3Im = re[3] - re[1];
        re[0] = t1Re + t2Re;
        im[0] = t1Im + t2Im;
        re[2] = t1Re - t2Re;
        im[2] = t1Im - t2Im;
        re[1] = m2Re + m3Re;
        im[1] = m2Im + m3Im;
        re[3] = m2Re - m3Re;
        im[3] = m2Im - m3Im;
    }
};

struct Radix5 {
    template <class T> static void apply(T* re, T* im) {
        const T t1Re = re[1] + re[4], t1Im = im[1] + im[4];
        const T t2Re = re[2] + re[3], t2Im = im[2] + im[3];
        const T t3Re = re[1] - re[4], t3Im = im[1] - im[4];
        const T t4Re = re[3] - re[2], t4Im = im[3] - im[2];
        const T t5Re = t1Re + t2Re, t5Im = t1Im + t2Im;
        const T y0Re = re[0] + t5Re, y0Im = im[0] + t5Im;
        const T m1Re = kC51 * t5Re, m1Im = kC51 * t5Im;
        const T m2Re = kC52 * (t1Re - t2Re), m2Im = kC52 * (t1Im - t2Im);
        const T m3Re = -kC53 * (t3Im + t4Im), m3Im = kC53 * (t3Re + t4Re);
        const T m4Re = -kC54 * t4Im, m4Im = kC54 * t4Re;
        const T m5Re = -kC55 * t3Im, m5Im = kC55 * t3Re;
        const T s3Re = m3Re - m4Re, s3Im = m3Im - m4Im;
        const T s5Re = m3Re + m5Re, s5Im = m3Im + m5Im;
        const T s1Re = y0Re + m1Re, s1Im = y0Im + m1Im;
        const T s2Re = s1Re + m2Re, s2Im = s1Im + m2Im;
        const T s4Re = s1Re - m2Re, s4Im = s1Im - m2Im;
        re[0] = y0Re;
        im[0] = y0Im;
        re[1] = s2Re + s3Re;
        im[1] = s2Im + s3Im;
        re[2] = s4Re + s5Re;
        im[2] = s4Im + s5Im;
        re[3] = s4Re - s5Re;
        im[3] = s4Im - s5Im;
        re[4] = s2Re - s3Re;
        im[4] = s2Im - s3Im;
    }
};

// Two radix-4 transforms of the even and odd values, the odd ones turned by the eighth roots.
struct Radix8 {
    template <class T> static void apply(T* re, T* im) {
        T aRe[4] = {re[0], re[2], re[4], re[6]}, aIm[4] = {im[0], im[2], im[4], im[6]};
        T bRe[4] = {re[1], re[3], re[5], re[7]}, bIm[4] = {im[1], im[3], im[5], im[7]};
        Radix4::apply(aRe, aIm);
        Radix4::apply(bRe, bIm);
        T t = kC81 * (bRe[1] + bIm[1]);
        bIm[1] = kC81 * (bIm[1] - bRe[1]);
        bRe[1] = t;
        t = bIm[2];
        bIm[2] = -bRe[2];
        bRe[2] = t;
        t = kC81 * (bIm[3] - bRe[3]);
        bIm[3] = -kC81 * (bRe[3] + bIm[3]);
        bRe[3] = t;
        for (int k = 0; k < 4; ++k) {
            re[k] = aRe[k] + bRe[k];
            im[k] = aIm[k] + bIm[k];
            re[k + 4] = aRe[k] - bRe[k];
            im[k + 4] = aIm[k] - bIm[k];
        }
    }
};

// Two radix-5 transforms combined by radix 2. Since 2 and 5 are coprime, the index maps of the
// prime-factor algorithm make the combination free of twiddles.
struct Radix10 {
    template <class T> static void apply(T* re, T* im) {
        T aRe[5] = {re[0], re[2], re[4], re[6], re[8]},
          aIm[5] = {im[0], im[2], im[4], im[6], im[8]};
        T bRe[5] = {re[5], re[7], re[9], re[1], re[3]},
          bIm[5] = {im[5], im[7], im[9], im[1], im[3]};
        Radix5::apply(aRe, aIm);
        Radix5::apply(bRe, bIm);
        constexpr int kSum[5] = {0, 6, 2, 8, 4};
        constexpr int kDifference[5] = {5, 1, 7, 3, 9};
        for (int k = 0; k < 5; ++k) {
            re[kSum[k]] = aRe[k] + bRe[k];
            im[kSum[k]] = aIm[k] + bIm[k];
            re[kDifference[k]] = aRe[k] - bRe[k];
            im[kDifference[k]] = aIm[k] - bIm[k];
        }
    }
};

// Any odd radix, evaluated directly. Values m and radix - m share their products with each root,
// so each root is applied to their sum and difference once. root[k] = e^(-2 pi i k / radix);
// scratch has room for 2 * (radix + 1) values.
inline void general(double* re, double* im, int radix, const double* rootRe, const double* rootIm,
                    double* scratch) {
    const int half = (radix + 1) / 2;
    double* sumRe = scratch;
    double* sumIm = sumRe + half;
    double* diffRe = sumIm + half;
    double* diffIm = diffRe + half;
    for (int j = 1; j < half; ++j) {
        sumRe[j] = re[j] + re[radix - j];
        sumIm[j] = im[j] - im[radix - j];
        diffRe[j] = re[j] - re[radix - j];
        diffIm[j] = im[j] + im[radix - j];
    }
    for (int j = 1; j < half; ++j) {
        double lowRe = re[0], lowIm = im[0], highRe = re[0], highIm = im[0];
        int k = j;
        for (int i = 1; i < half; ++i) {
            const double reRe = rootRe[k] * sumRe[i];
            const double imIm = rootIm[k] * sumIm[i];
            const double reIm = rootRe[k] * diffIm[i];
            const double imRe = rootIm[k] * diffRe[i];
            highRe += reRe + imIm;
            highIm += reIm - imRe;
            lowRe += reRe - imIm;
            lowIm += reIm + imRe;
            k += j;
            if (k >= radix)
                k -= radix;
        }
        re[j] = lowRe;
        im[j] = lowIm;
        re[radix - j] = highRe;
        im[radix - j] = highIm;
    }
    for (int j = 1; j < half; ++j) {
        re[0] += sumRe[j];
        im[0] += diffIm[j];
    }
}

} // namespace cantorix::pitch::butterfly
